#pragma once

// Peers and helpers for tests that run whole exchanges through the real main
// window.
#include "support/window_fixture.h"

#include <QProcess>
#include <QTcpServer>

namespace tallowick::test {

// The TCP link to 127.0.0.1:port with the given time-out, dropping the link
// after each exchange or keeping it; line 1 reads one holding register.
void useTcp(WindowFixture &f, quint16 port, const QString &timeout, bool keepLink);
// The serial link on the given device path, likewise.
void useSerial(WindowFixture &f, const QString &path, const QString &timeout, bool keepLink);

// No exchange, no run, no timer: Send, Mode and Repeat Send as at start-up.
bool isIdle(WindowFixture &f);
// Runs the event loop itself (no polling with sleeps in between), so that the
// program sees the link's events as soon as they come, as it would on its own.
bool waitIdle(WindowFixture &f, int ms = 3000);
void clickSend(WindowFixture &f);

// A loopback peer that records what arrives and may answer every request.
struct LoopbackPeer
{
    QTcpServer server;
    QByteArray received;
    explicit LoopbackPeer(const QByteArray &answer = {});
    QString port() const { return QString::number(server.serverPort()); }
};

// The libmodbus RTU slave of tests/peers/rtu_slave.cpp for one test: unit 1,
// holding and input register 0 hold 5.
class SlavePeer
{
public:
    explicit SlavePeer(const QString &mode); // "pty" or "tcp"
    ~SlavePeer();
    bool isRunning() const { return !m_where.isEmpty(); }
    // The pty slave path, or the TCP port on 127.0.0.1.
    QString where() const { return m_where; }

private:
    QProcess m_process;
    QString m_where;
};

} // namespace tallowick::test
