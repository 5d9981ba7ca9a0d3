#include "support/peers.h"

#include <QSignalSpy>
#include <QTcpSocket>

namespace tallowick::test {

PeerProcess::PeerProcess(const QString &program, const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    while (m_process.waitForReadyRead(5000) && !m_process.canReadLine()) {
    }
    m_where = QString::fromLocal8Bit(m_process.readLine()).section(u' ', 1).trimmed();
}

PeerProcess::~PeerProcess()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

ProgramProcess::ProgramProcess(const QString &program, const QStringList &arguments,
                               const std::function<void(QProcess &)> &prepare)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    m_process.setProcessEnvironment(environment);
    if (prepare)
        prepare(m_process);
    m_process.start(program, arguments);
}

ProgramProcess::~ProgramProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

ProgramEnded ProgramProcess::finish(int ms)
{
    QSignalSpy finished(&m_process, &QProcess::finished);
    ProgramEnded ended;
    if (m_process.state() != QProcess::NotRunning && !finished.wait(ms))
        return ended;
    ended.status = m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
    ended.out = m_process.readAllStandardOutput();
    ended.errors = QString::fromUtf8(m_process.readAllStandardError());
    return ended;
}

LoopbackPeer::LoopbackPeer(const QByteArray &fixed) : answer([fixed] { return fixed; })
{
    server.listen(QHostAddress::LocalHost);
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
        while (QTcpSocket *next = server.nextPendingConnection()) {
            socket = next;
            QObject::connect(next, &QTcpSocket::readyRead, next, [this, next] {
                received += next->readAll();
                next->write(answer());
            });
        }
    });
}

} // namespace tallowick::test
