#include "support/exchange.h"

#include "engine/exchange_engine.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

namespace tallowick::test {

void play(WindowFixture &f, const QString &script)
{
    for (const QString &step : script.split(QStringLiteral("; "))) {
        const QString name = step.startsWith(u"click ") ? step.mid(6) : step.section(u'=', 0, 0);
        auto *widget = f.window->findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        if (step.startsWith(u"click "))
            QTest::mouseClick(widget, Qt::LeftButton);
        else if (auto *box = qobject_cast<QLineEdit *>(widget))
            box->setText(step.section(u'=', 1));
        else
            qobject_cast<QAbstractButton *>(widget)->setChecked(step.section(u'=', 1) == u"1");
    }
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
