#include "support/exchange.h"

#include "engine/exchange_engine.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace tallowick::test {

void useTcp(WindowFixture &f, quint16 port, const QString &timeout, bool keepLink)
{
    f.ui().address->setText(QStringLiteral("127.0.0.1"));
    f.ui().port->setText(QString::number(port));
    f.ui().timeout->setText(timeout);
    f.ui().connect[keepLink ? 1 : 0]->setChecked(true);
    f.ui().cmd[0]->setText(QStringLiteral("010300000001"));
}

void useSerial(WindowFixture &f, const QString &path, const QString &timeout, bool keepLink)
{
    if (!f.engine().serialMode())
        QTest::mouseClick(f.ui().modeSelect, Qt::LeftButton);
    f.ui().comSelect->setText(path);
    useTcp(f, 502, timeout, keepLink); // the TCP fields stay unused
}

bool isIdle(WindowFixture &f)
{
    return !f.engine().isWaiting() && f.ui().send->text() == u"Send" &&
           f.ui().modeSelect->isEnabled() && !f.ui().Timer->isActive() &&
           !f.ui().repTimer->isActive() && f.ui().Command2->text() == u"Repeat Send";
}

bool waitIdle(WindowFixture &f, int ms)
{
    QSignalSpy ended(&f.engine(), &ExchangeEngine::exchangeEnded);
    return isIdle(f) || (ended.wait(ms) && isIdle(f));
}

void clickSend(WindowFixture &f)
{
    QTest::mouseClick(f.ui().send, Qt::LeftButton);
}

LoopbackPeer::LoopbackPeer(const QByteArray &answer)
{
    server.listen(QHostAddress::LocalHost);
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, answer] {
        while (QTcpSocket *socket = server.nextPendingConnection())
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, answer] {
                received += socket->readAll();
                socket->write(answer);
            });
    });
}

SlavePeer::SlavePeer(const QString &mode)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(TALLOWICK_RTU_SLAVE), {mode});
    // Its first line names where it serves: "PATH /dev/pts/7" or "PORT 40123".
    while (m_process.waitForReadyRead(5000) && !m_process.canReadLine()) {
    }
    m_where = QString::fromLocal8Bit(m_process.readLine()).section(u' ', 1).trimmed();
}

SlavePeer::~SlavePeer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

} // namespace tallowick::test
