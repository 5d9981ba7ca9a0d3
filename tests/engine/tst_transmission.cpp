// The transmit routine on real links: what reaches the far side byte for byte
// and what the log says. CRCs: pymodbus 3.0 computeCRC, computed once.
#include "engine/exchange_engine.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "support/pty_pair.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace tallowick;
using namespace tallowick::test;

class TestTransmission : public QObject
{
    Q_OBJECT
private slots:
    void crcCalculate_data();
    void crcCalculate();
    void rejectedLineShowsWhy();
    void lineNumberNamesNoLine_data();
    void lineNumberNamesNoLine();
    void serialFrameOnTheWire();
    void tcpFrameOnConnection();
};

void TestTransmission::crcCalculate_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("crc");
    QTest::addColumn<QString>("entry");
    QTest::newRow("CRC on") << "030102030405" << true << "CRC計算 CMD1：> 030102030405 0E93";
    QTest::newRow("CRC off") << "030102030405" << false << "CRC計算 CMD1：> 030102030405";
    QTest::newRow("empty line") << "" << true << "CRC計算 CMD1：>  FFFF";
}

void TestTransmission::crcCalculate()
{
    QFETCH(QString, command);
    QFETCH(bool, crc);
    QFETCH(QString, entry);
    WindowFixture f;
    f.ui().cmd[0]->setText(command);
    f.ui().crcEN->setChecked(crc);
    f.ui().address->clear(); // works whatever the settings
    QTest::mouseClick(f.ui().crcCalc, Qt::LeftButton);

    const QString log = f.logText();
    QVERIFY2(log.contains(timeStampPrefix), qPrintable(log));
    QCOMPARE(logLines(log), QStringList({entry, QString(), QString()}));
    QVERIFY(!f.engine().isWaiting());
}

void TestTransmission::rejectedLineShowsWhy()
{
    WindowFixture f;
    for (const QString &bad : {QStringLiteral("01 03"), QStringLiteral("G1"), QStringLiteral("0x01")}) {
        f.ui().cmd[0]->setText(bad);
        f.ui().status->clear();
        QTest::mouseClick(f.ui().crcCalc, Qt::LeftButton);
        QCOMPARE(f.logText(), QString());
        QCOMPARE(f.ui().status->text(), QStringLiteral("輸入錯誤"));
    }
}

void TestTransmission::lineNumberNamesNoLine_data()
{
    QTest::addColumn<QString>("sendCnt");
    QTest::newRow("empty") << "";
    QTest::newRow("sixteen") << "16";
    QTest::newRow("fraction") << "0.3";
    QTest::newRow("fraction near the end") << "15.6";
    QTest::newRow("zero") << "0";
    QTest::newRow("negative") << "-2";
}

void TestTransmission::lineNumberNamesNoLine()
{
    QFETCH(QString, sendCnt);
    WindowFixture f;
    f.window->log().addEntry(QStringLiteral("older"), 1);
    const QString before = f.logText();
    f.dialogs.clear();
    f.ui().sendCnt->setText(sendCnt);
    QTest::mouseClick(f.ui().crcCalc, Qt::LeftButton);

    QCOMPARE(f.dialogs.messageTexts(), QStringList({QStringLiteral("Command Input Error")}));
    QCOMPARE(f.dialogs.messages.first().flags, int(MbCritical));
    QCOMPARE(f.dialogs.messages.first().title, QStringLiteral("Tallowick"));
    // The new entry on top, then the old log, then one more line break.
    const QString log = f.logText();
    QVERIFY(log.endsWith(before + QStringLiteral("\r\n")));
    QCOMPARE(logLines(log).first(), QStringLiteral("-----沒有指令 ") + sendCnt + QStringLiteral("-----"));
    QVERIFY(log.startsWith(log.section(QStringLiteral("\r\n"), 0, 0) + QStringLiteral("\r\n\r\n") + before));
}

void TestTransmission::serialFrameOnTheWire()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f;
    f.ui().modeSelect->click();
    f.ui().comSelect->setText(pty.slavePath());
    f.ui().configCOM->setText(QStringLiteral("9600,n,8,1"));
    f.ui().timeout->setText(QStringLiteral("60000"));
    f.ui().cmd[2]->setText(QStringLiteral("010300000001"));
    f.ui().sendCnt->setText(QStringLiteral("3"));

    f.ui().send->click();
    QByteArray onWire;
    QTRY_VERIFY_WITH_TIMEOUT((onWire += pty.read(0, 0), onWire.size() >= 8), 3000);
    QCOMPARE(onWire, QByteArray::fromHex("010300000001840A"));
    QCOMPARE(logLines(f.logText()),
             QStringList({QStringLiteral("傳送CMD3： > 010300000001 840A"), QString(), QString()}));
    f.ui().send->click(); // Stop
}

void TestTransmission::tcpFrameOnConnection()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    WindowFixture f;
    f.ui().cmd[1]->setText(QStringLiteral("0106000100039"));
    f.ui().sendCnt->setText(QStringLiteral("1"));

    f.engine().tcpLink().open(LinkTarget::tcp(QStringLiteral("127.0.0.1"), server.serverPort()));
    // The line is read when the connection is made, not when it was asked for.
    f.ui().sendCnt->setText(QStringLiteral("2"));
    QVERIFY(server.waitForNewConnection(3000));
    QTcpSocket *peer = server.nextPendingConnection();
    QByteArray received;
    QTRY_VERIFY_WITH_TIMEOUT((received += peer->readAll(), received.size() >= 9), 3000);
    // 13 digits: the last one is a byte of its own (09). CRC from pymodbus.
    QCOMPARE(received, QByteArray::fromHex("010600010003") + QByteArray::fromHex("09") +
                           QByteArray::fromHex("CAAC"));
    QCOMPARE(f.engine().tcpLink().state(), int(TcpLink::Connected));
    QCOMPARE(logLines(f.logText()).first(), QStringLiteral("傳送CMD2： > 01060001000309 CAAC"));
}

QTEST_MAIN(TestTransmission)
#include "tst_transmission.moc"
