#include "support/exchange.h"

#include "engine/exchange_engine.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>

namespace tallowick::test {

namespace {
void useLink(WindowFixture &f, const QString &timeout, bool keepLink)
{
    f.ui().timeout->setText(timeout);
    f.ui().connect[keepLink ? 1 : 0]->setChecked(true);
    f.ui().cmd[0]->setText(QStringLiteral("010300000001"));
}
} // namespace

void useTcp(WindowFixture &f, quint16 port, const QString &timeout, bool keepLink)
{
    f.ui().address->setText(QStringLiteral("127.0.0.1"));
    f.ui().port->setText(QString::number(port));
    useLink(f, timeout, keepLink);
}

void useSerial(WindowFixture &f, const QString &path, const QString &timeout, bool keepLink)
{
    if (!f.engine().serialMode())
        QTest::mouseClick(f.ui().modeSelect, Qt::LeftButton);
    f.ui().comSelect->setText(path);
    useLink(f, timeout, keepLink);
}

bool isIdle(WindowFixture &f)
{
    return !f.engine().isWaiting() && f.ui().send->text() == QLatin1String("Send");
}

bool waitIdle(WindowFixture &f, int ms)
{
    if (isIdle(f))
        return true;
    QSignalSpy ended(&f.engine(), &ExchangeEngine::exchangeEnded);
    return ended.wait(ms) && isIdle(f);
}

void clickSend(WindowFixture &f)
{
    QTest::mouseClick(f.ui().send, Qt::LeftButton);
}

quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // nothing listens once the probe is gone
}

ScriptedPeer::ScriptedPeer()
{
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++connections;
            m_last = socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                const QByteArray request = socket->readAll();
                received += request;
                if (onRequest)
                    onRequest(socket, request);
            });
        }
    });
}

void ScriptedPeer::replyLater(QTcpSocket *socket, int ms, const QByteArray &bytes)
{
    QTimer::singleShot(ms, socket, [socket, bytes] { socket->write(bytes); });
}

void ScriptedPeer::reset(QTcpSocket *socket)
{
    const linger hard{1, 0};
    setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket->abort();
}

} // namespace tallowick::test
