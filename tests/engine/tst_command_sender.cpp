// The send paths through the real controls: the settings checks with their
// boxes and captions, the waiting state, the label click and lock, the Mode
// button and the "-" and "=" keys. CRCs: pymodbus 3.0 computeCRC, computed once.
#include "links/tcp_link.h"
#include "support/window_fixture.h"
#include "ui/log_box.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

using namespace tallowick;
using namespace tallowick::test;

namespace {

bool isIdle(WindowFixture &f)
{
    return !f.engine().isWaiting() && f.ui().send->text() == QLatin1String("Send") &&
           f.ui().modeSelect->isEnabled() && !f.ui().Timer->isActive();
}

// A loopback peer that takes connections and records what arrives.
struct SilentPeer
{
    QTcpServer server;
    QByteArray received;

    SilentPeer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { received += socket->readAll(); });
        });
    }
    QString port() const { return QString::number(server.serverPort()); }
};

// What the platform delivers for a double-click on a widget: a click, then a
// second press that arrives as the double-click, then its release.
void doubleClick(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
    QTest::mouseDClick(widget, Qt::LeftButton);
    QTest::mouseRelease(widget, Qt::LeftButton);
}

} // namespace

class TestCommandSender : public QObject
{
    Q_OBJECT
private slots:
    void settingsTable_data();
    void settingsTable();
    void labelClickWithSettingsMissing_data();
    void labelClickWithSettingsMissing();
    void lineIndexRefused_data();
    void lineIndexRefused();
    void unusableLinkSettings_data();
    void unusableLinkSettings();
    void replyTimerInterval_data();
    void replyTimerInterval();
    void labelClickSendsItsLine();
    void doubleClickLocksLine();
    void modeSwitch();
    void keyToggles();
};

void TestCommandSender::settingsTable_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<QString>("sendCnt");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status");

    const QString ip = "127.0.0.1";
    QTest::newRow("line 0") << ip << "1560"
                            << "3000"
                            << "0"
                            << "What instruction execution?!"
                            << "Check send command.";
    QTest::newRow("line empty") << ip << "1560"
                                << "3000"
                                << ""
                                << "What instruction execution?!"
                                << "Check send command.";
    QTest::newRow("line x") << ip << "1560"
                            << "3000"
                            << "x"
                            << "What instruction execution?!"
                            << "Check send command.";
    QTest::newRow("line negative") << ip << "1560"
                                   << "3000"
                                   << "-2"
                                   << "What instruction execution?!"
                                   << "Check send command.";
    QTest::newRow("mask 1") << ""
                            << "1560"
                            << "3000"
                            << "1"
                            << "IP is Null."
                            << "Check IP setting.";
    QTest::newRow("mask 2") << ip << ""
                            << "3000"
                            << "1"
                            << "Port is Null."
                            << "Check Port setting.";
    QTest::newRow("mask 3") << ""
                            << ""
                            << "3000"
                            << "1"
                            << "IP is Null.\r\nPort is Null."
                            << "Check IP and Port settings.";
    QTest::newRow("mask 4") << ip << "1560"
                            << ""
                            << "1"
                            << "Timeout is Null."
                            << "Check Timeout setting.";
    QTest::newRow("mask 5") << ""
                            << "1560"
                            << ""
                            << "1"
                            << "IP is Null.\r\nTimeout is Null."
                            << "Check IP and Timeout settings.";
    QTest::newRow("mask 6") << ip << ""
                            << ""
                            << "1"
                            << "Port is Null.\r\nTimeout is Null."
                            << "Port IP and Timeout settings.";
    QTest::newRow("mask 7") << ""
                            << ""
                            << ""
                            << "1"
                            << "IP is Null.\r\nPort is Null.\r\nTimeout is Null."
                            << "Port IP and Port and Timeout settings.";
    QTest::newRow("blanks are not empty, line 0") << " "
                                                  << " "
                                                  << " "
                                                  << "0"
                                                  << "What instruction execution?!"
                                                  << "Check send command.";
}

void TestCommandSender::settingsTable()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QString, timeout);
    QFETCH(QString, sendCnt);
    QFETCH(QString, message);
    QFETCH(QString, status);
    WindowFixture f(true);
    f.ui().address->setText(address);
    f.ui().port->setText(port);
    f.ui().timeout->setText(timeout);
    f.ui().sendCnt->setText(sendCnt);
    f.dialogs.clear();

    QTest::mouseClick(f.ui().send, Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts(), QStringList({message}));
    QCOMPARE(f.dialogs.messages.at(0).flags, int(MbCritical));
    QCOMPARE(f.dialogs.messages.at(0).title, programTitle);
    QCOMPARE(f.ui().status->text(), status);
    QCOMPARE(f.logText(), QString());
    QVERIFY(isIdle(f));
    QCOMPARE(f.engine().tcpLink().state(), int(TcpLink::Closed));
}

void TestCommandSender::labelClickWithSettingsMissing_data()
{
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<QString>("message");
    QTest::newRow("TCP, no IP") << false << ""
                                << "3000"
                                << "IP is Null.";
    QTest::newRow("serial, no IP") << true << ""
                                   << "3000"
                                   << "IP is Null.";
    QTest::newRow("serial, no time-out") << true << "127.0.0.1"
                                         << ""
                                         << "Timeout is Null.";
}

void TestCommandSender::labelClickWithSettingsMissing()
{
    QFETCH(bool, serial);
    QFETCH(QString, address);
    QFETCH(QString, timeout);
    QFETCH(QString, message);
    WindowFixture f(true);
    if (serial)
        QTest::mouseClick(f.ui().modeSelect, Qt::LeftButton);
    f.ui().address->setText(address);
    f.ui().timeout->setText(timeout);
    f.dialogs.clear();

    QTest::mouseClick(f.ui().Label7[2], Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts(), QStringList({message}));
    QCOMPARE(f.ui().sendCnt->text(), QStringLiteral("3"));
    // The click's own caption replaces the one the check set.
    QCOMPARE(f.ui().status->text(), QStringLiteral("Send command3"));
    QCOMPARE(f.logText(), QString());
    QVERIFY(isIdle(f));
}

void TestCommandSender::lineIndexRefused_data()
{
    QTest::addColumn<QString>("sendCnt");
    QTest::newRow("16") << "16";
    QTest::newRow("99") << "99";
    // Between two lines: no line has that number.
    QTest::newRow("0.3") << "0.3";
    QTest::newRow("15.6") << "15.6";
    QTest::newRow("2.5") << "2.5";
}

void TestCommandSender::lineIndexRefused()
{
    QFETCH(QString, sendCnt);
    SilentPeer peer;
    WindowFixture f(true);
    f.ui().port->setText(peer.port());
    f.ui().sendCnt->setText(sendCnt);
    f.ui().status->setText(QStringLiteral("before"));
    f.dialogs.clear();

    QTest::mouseClick(f.ui().send, Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts(), QStringList({"Error Command Line Index."}));
    QCOMPARE(f.dialogs.messages.at(0).flags, int(MbCritical));
    QCOMPARE(logLines(f.logText()), QStringList({"-----沒有指令 " + sendCnt + "-----", "", ""}));
    QCOMPARE(f.ui().status->text(), QStringLiteral("before"));
    QVERIFY(isIdle(f));
    QVERIFY(!peer.server.waitForNewConnection(100));
}

void TestCommandSender::unusableLinkSettings_data()
{
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("comSelect");
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("status");

    const QString portMessage = "Port must be a whole number from 1 to 65535.";
    const QString timeoutMessage = "Timeout is too large: at most 2147483647 ms.";
    QTest::newRow("time-out too large") << false << "1560"
                                        << ""
                                        << "2147483648" << timeoutMessage << ""
                                        << "Check Timeout setting.";
    QTest::newRow("time-out too large, serial") << true << "1560"
                                                << "1"
                                                << "99999999999" << timeoutMessage << ""
                                                << "Check Timeout setting.";
    QTest::newRow("port 0") << false << "0"
                            << ""
                            << "3000" << portMessage << ""
                            << "Check Port setting.";
    QTest::newRow("port 65536") << false << "65536"
                                << ""
                                << "3000" << portMessage << ""
                                << "Check Port setting.";
    QTest::newRow("port abc") << false << "abc"
                              << ""
                              << "3000" << portMessage << ""
                              << "Check Port setting.";
    QTest::newRow("port 1560.5") << false << "1560.5"
                                 << ""
                                 << "3000" << portMessage << ""
                                 << "Check Port setting.";
    QTest::newRow("port -1") << false << "-1"
                             << ""
                             << "3000" << portMessage << ""
                             << "Check Port setting.";
    QTest::newRow("no COM port") << true << "1560"
                                 << ""
                                 << "3000"
                                 << "Error port setting"
                                 << "COM Port Error"
                                 << "Check COM Port setting.";
    QTest::newRow("COM port 0") << true << "1560"
                                << "0"
                                << "3000"
                                << "Error port setting"
                                << "COM Port Error"
                                << "Check COM Port setting.";
    QTest::newRow("COM port too large") << true << "1560"
                                        << "99999"
                                        << "3000"
                                        << "Error port setting"
                                        << "COM Port Error"
                                        << "Check COM Port setting.";
    QTest::newRow("COM port with a blank") << true << "1560"
                                           << "tty S0"
                                           << "3000"
                                           << "Error port setting"
                                           << "COM Port Error"
                                           << "Check COM Port setting.";
}

void TestCommandSender::unusableLinkSettings()
{
    QFETCH(bool, serial);
    QFETCH(QString, port);
    QFETCH(QString, comSelect);
    QFETCH(QString, timeout);
    QFETCH(QString, message);
    QFETCH(QString, title);
    QFETCH(QString, status);
    WindowFixture f(true);
    if (serial)
        QTest::mouseClick(f.ui().modeSelect, Qt::LeftButton);
    f.ui().port->setText(port);
    f.ui().comSelect->setText(comSelect);
    f.ui().timeout->setText(timeout);
    f.dialogs.clear();

    QTest::mouseClick(f.ui().send, Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts(), QStringList({message}));
    QCOMPARE(f.dialogs.messages.at(0).title, title.isEmpty() ? programTitle : title);
    QCOMPARE(f.dialogs.messages.at(0).flags, int(MbCritical));
    QCOMPARE(f.ui().status->text(), status);
    QCOMPARE(f.logText(), QString());
    QVERIFY(isIdle(f));
    QCOMPARE(f.engine().tcpLink().state(), int(TcpLink::Closed));
}

void TestCommandSender::replyTimerInterval_data()
{
    QTest::addColumn<QString>("timeout");
    QTest::addColumn<int>("interval");
    QTest::newRow("0") << "0" << 1;
    QTest::newRow("1") << "1" << 1;
    QTest::newRow("abc") << "abc" << 1;
    QTest::newRow("negative") << "-500" << 1;
    QTest::newRow("1.4") << "1.4" << 1;
    QTest::newRow("half to even, down") << "250.5" << 250;
    QTest::newRow("half to even, up") << "251.5" << 252;
    QTest::newRow("leading number") << "300ms" << 300;
    QTest::newRow("largest") << "2147483647" << 2147483647;
}

void TestCommandSender::replyTimerInterval()
{
    QFETCH(QString, timeout);
    QFETCH(int, interval);
    SilentPeer peer;
    WindowFixture f(true);
    f.ui().port->setText(peer.port());
    f.ui().timeout->setText(timeout);

    QTest::mouseClick(f.ui().send, Qt::LeftButton);
    QCOMPARE(f.ui().Timer->interval(), interval);
    QVERIFY(!!f.engine().isWaiting());
    QCOMPARE(f.ui().send->text(), QStringLiteral("Stop"));
    QVERIFY(!f.ui().modeSelect->isEnabled());
    if (interval == 1)
        QTRY_VERIFY_WITH_TIMEOUT(isIdle(f), 1000); // the time-out follows almost at once
    else
        QTest::mouseClick(f.ui().send, Qt::LeftButton);
    QVERIFY(isIdle(f));
    QVERIFY(logLines(f.logText()).contains(QStringLiteral("--------無回應--------")));
}

void TestCommandSender::labelClickSendsItsLine()
{
    SilentPeer peer;
    WindowFixture f(true);
    f.ui().port->setText(peer.port());
    f.ui().cmd[2]->setText(QStringLiteral("0203"));

    QTest::mouseClick(f.ui().Label7[2], Qt::LeftButton);
    QCOMPARE(f.ui().sendCnt->text(), QStringLiteral("3"));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Send command3"));
    QCOMPARE(f.ui().send->text(), QStringLiteral("Stop"));
    QTRY_COMPARE_WITH_TIMEOUT(peer.received, QByteArray::fromHex("020340D1"), 2000);
    QCOMPARE(logLines(f.logText()),
             QStringList({"傳送CMD3： > 0203 40D1", "", "-------正在連線-------", "",
                          "IP:127.0.0.1:" + peer.port(), "", ""}));
    QTest::mouseClick(f.ui().send, Qt::LeftButton);
}

void TestCommandSender::doubleClickLocksLine()
{
    SilentPeer peer;
    WindowFixture f(true);
    f.ui().port->setText(peer.port());

    // The first click of the double-click sends the line.
    doubleClick(f.ui().Label7[1]);
    QVERIFY(!f.ui().cmd[1]->isEnabled());
    QVERIFY(!f.ui().noteText[1]->isEnabled());
    QVERIFY(f.ui().cmd[0]->isEnabled());
    QCOMPARE(f.ui().sendCnt->text(), QStringLiteral("2"));
    QTRY_COMPARE_WITH_TIMEOUT(peer.received, QByteArray::fromHex("0301020304050E93"), 2000);

    // While the reply is awaited a click sends nothing, and a double-click
    // only unlocks.
    const QString log = f.logText();
    QTest::mouseClick(f.ui().Label7[4], Qt::LeftButton);
    QCOMPARE(f.ui().sendCnt->text(), QStringLiteral("2"));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Send command2"));
    doubleClick(f.ui().Label7[1]);
    QVERIFY(f.ui().cmd[1]->isEnabled());
    QVERIFY(f.ui().noteText[1]->isEnabled());
    QVERIFY(!peer.server.waitForNewConnection(100));
    QCOMPARE(peer.received, QByteArray::fromHex("0301020304050E93"));
    QCOMPARE(f.logText(), log);
    QTest::mouseClick(f.ui().send, Qt::LeftButton);
}

void TestCommandSender::modeSwitch()
{
    WindowFixture f(true);
    QVERIFY(!f.ui().ipSet->isHidden());
    QVERIFY(f.ui().comset->isHidden());
    QTest::mouseClick(f.ui().modeSelect, Qt::LeftButton);
    QVERIFY(f.engine().serialMode());
    QVERIFY(f.ui().ipSet->isHidden());
    QVERIFY(!f.ui().comset->isHidden());
    QTest::mouseClick(f.ui().modeSelect, Qt::LeftButton);
    QVERIFY(!f.engine().serialMode());
    QVERIFY(!f.ui().ipSet->isHidden());
    QVERIFY(f.ui().comset->isHidden());
    QCOMPARE(f.logText(), QString());
}

void TestCommandSender::keyToggles()
{
    WindowFixture f(true);
    QLineEdit *line = f.ui().cmd[0];
    line->setFocus();
    QTest::keyClick(line, '-');
    QVERIFY(!f.ui().winsockstatus->isHidden());
    QVERIFY(f.ui().winsockchk->isActive());
    // The key still reaches the box it was typed into.
    QCOMPARE(line->text(), QStringLiteral("030102030405-"));
    QTest::keyClick(line, '-');
    QVERIFY(f.ui().winsockstatus->isHidden());
    QVERIFY(!f.ui().winsockchk->isActive());

    QTest::keyClick(line, '=');
    QVERIFY(!f.ui().Frame6->isHidden());
    QVERIFY(!f.ui().Frame5->isHidden());
    QTest::keyClick(line, '=');
    QVERIFY(f.ui().Frame6->isHidden());
    QVERIFY(f.ui().Frame5->isHidden());
    QCOMPARE(line->text(), QStringLiteral("030102030405--=="));
}

QTEST_MAIN(TestCommandSender)
#include "tst_command_sender.moc"
