#pragma once

// Peers and helpers for tests that run whole exchanges through the real main
// window.
#include "support/window_fixture.h"

#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

namespace tallowick::test {

// The TCP link to 127.0.0.1:port with the given time-out, dropping the link
// after each exchange or keeping it; line 1 reads one holding register.
void useTcp(WindowFixture &f, quint16 port, const QString &timeout, bool keepLink);
// The serial link on the given device path, likewise.
void useSerial(WindowFixture &f, const QString &path, const QString &timeout, bool keepLink);

bool isIdle(WindowFixture &f);
// Runs the event loop itself (no polling with sleeps in between), so that the
// program sees the link's events as soon as they come, as it would on its own.
bool waitIdle(WindowFixture &f, int ms = 3000);
void clickSend(WindowFixture &f);

// A loopback peer that does what each test tells it with every request.
class ScriptedPeer : public QObject
{
public:
    std::function<void(QTcpSocket *, const QByteArray &)> onRequest;
    int connections = 0;
    QByteArray received;

    ScriptedPeer();
    quint16 port() const { return m_server.serverPort(); }
    QTcpSocket *last() const { return m_last; }

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_last;
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
