#pragma once

#include "links/link.h"

#include <QTcpSocket>

namespace tallowick {

// The TCP client link.
class TcpLink : public Link
{
    Q_OBJECT
public:
    explicit TcpLink(QObject *parent = nullptr);

    // Connects to the target's host and port from a system-chosen local port.
    LinkError open(const LinkTarget &target) override;
    bool write(const QByteArray &frame) override;
    QByteArray readAll() override;
    void close() override;
    int state() const override;

    QString lastError() const override { return m_lastError; }

private:
    QTcpSocket m_socket;
    bool m_failed = false; // the last attempt or connection ended in an error
    QString m_peer;        // "host:port" of the last open()
    QString m_lastError;
};

} // namespace tallowick
