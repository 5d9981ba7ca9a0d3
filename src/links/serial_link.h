#pragma once

#include "links/link.h"

#include <QSerialPort>

namespace tallowick {

// The serial port: opened with a `comSelect` text and a `configCOM` text,
// bytes written raw, every arrival signalled on the UI thread.
class SerialLink : public Link
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    // Port number, line settings, open, RTS off, in this order.
    LinkError open(const LinkTarget &target) override;
    bool write(const QByteArray &frame) override;
    QByteArray readAll() override;
    void close() override;
    int state() const override;
    qint32 baudRate() const override;

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
};

} // namespace tallowick
