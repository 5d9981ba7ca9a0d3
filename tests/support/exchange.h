#pragma once

// Peers and helpers for tests that run whole exchanges through the real main
// window.
#include "support/window_fixture.h"

#include <QProcess>
#include <QTcpServer>

namespace tallowick::test {

// Plays steps separated by "; " on the window: "click NAME", or "NAME=VALUE"
// typed into a box (for a check box or option button, 1 checks it).
void play(WindowFixture &f, const QString &script);

// No exchange, no run, no timer: Send, Mode and Repeat Send as at start-up.
bool isIdle(WindowFixture &f);
// Runs the event loop itself (no polling with sleeps in between), so that the
// program sees the link's events as soon as they come, as it would on its own.
bool waitIdle(WindowFixture &f, int ms = 3000);

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
