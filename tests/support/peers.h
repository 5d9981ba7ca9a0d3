#pragma once

// The peers the program talks to in tests and in the benchmark: a device
// process of its own, or a TCP peer on loopback inside the test's process.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

namespace tallowick::test {

// A device in a process of its own, started at construction and killed at
// destruction. Its first line names where it serves: "PATH /dev/pts/7" or
// "PORT 40123".
class PeerProcess
{
public:
    PeerProcess(const QString &program, const QStringList &arguments);
    ~PeerProcess();
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;

    bool isRunning() const { return !m_where.isEmpty(); }
    // The pty path, or the TCP port on 127.0.0.1.
    QString where() const { return m_where; }
    quint16 port() const { return m_where.toUShort(); }

private:
    QProcess m_process;
    QString m_where;
};

#ifdef TALLOWICK_RTU_SLAVE
// The libmodbus RTU slave of tests/peers/rtu_slave.cpp, built with the tests:
// unit 1, holding and input register 0 hold 5.
class SlavePeer : public PeerProcess
{
public:
    explicit SlavePeer(const QString &mode) // "pty" or "tcp"
        : PeerProcess(QStringLiteral(TALLOWICK_RTU_SLAVE), {mode})
    {
    }
};
#endif

// How a program of ours ended: its exit status (-1 still running when the wait
// ran out, -2 crashed) and what it wrote.
struct ProgramEnded
{
    int status = -1;
    QByteArray out;
    QString errors;
};

// One of our programs without a window, started with no display variable at
// all, which it must not need; killed if a test leaves it running. `prepare`
// may set up the process before it starts (its standard output a file).
class ProgramProcess
{
public:
    ProgramProcess(const QString &program, const QStringList &arguments,
                   const std::function<void(QProcess &)> &prepare = {});
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess &) = delete;
    ProgramProcess &operator=(const ProgramProcess &) = delete;

    QProcess &process() { return m_process; }
    // Runs the event loop while waiting, so that peers in this process answer.
    ProgramEnded finish(int ms = 60000);

private:
    QProcess m_process;
};

// A loopback peer that records what arrives and answers every read.
struct LoopbackPeer
{
    explicit LoopbackPeer(const QByteArray &answer = {});
    QString port() const { return QString::number(server.serverPort()); }

    QTcpServer server;
    QByteArray received;
    // What it answers; the answer it was made with unless replaced.
    std::function<QByteArray()> answer;
    // The newest connection, to send more on.
    QTcpSocket *socket = nullptr;
};

} // namespace tallowick::test
