#include "support/peers.h"

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
