#pragma once

// A link the test plays the device of: it records what was written and
// delivers what the test says arrived, at once and without any real I/O.
#include "links/link.h"

#include <QByteArrayList>

namespace tallowick::test {

class FakeLink : public Link
{
    Q_OBJECT
public:
    // A serial link opens at once; a TCP link starts connecting and connects
    // when the test says so.
    enum Kind { Serial, Tcp };
    explicit FakeLink(Kind kind, QObject *parent = nullptr) : Link(parent), m_kind(kind) {}

    LinkError open(const LinkTarget &target) override;
    bool write(const QByteArray &frame) override;
    QByteArray readAll() override;
    void close() override;
    int state() const override { return m_state; }
    std::optional<LineSettings> lineSettings() const override
    {
        return m_kind == Serial ? std::optional(line) : std::nullopt;
    }
    // A serial open that fails says so as the serial link does.
    QString lastError() const override
    {
        return openResult == LinkError::None ? QString() : QStringLiteral("no port");
    }

    // The peer's side: a pending TCP connection comes up; bytes arrive; an
    // orderly close leaves the link closed; a reset or a failed attempt leaves
    // it in error; a serial device goes away.
    void acceptConnection();
    void arrive(const QByteArray &bytes);
    void peerCloses() { lose(Closed, "closed"); }
    void peerResets() { lose(Error, "reset"); }
    void deviceGone();

    LinkError openResult = LinkError::None; // what the next opens report
    bool refuseWrites = false;
    LineSettings line; // 9600,n,8,1
    QByteArrayList written;
    QList<LinkTarget> opened;

private:
    // Like the TCP link, the link reports a connection lost or refused.
    void lose(int state, const char *reason)
    {
        m_state = state;
        emit failed(QString::fromLatin1(reason));
    }

    Kind m_kind;
    int m_state = Closed;
    QByteArray m_pending;
};

} // namespace tallowick::test
