// Whole exchanges on the TCP link: against the libmodbus RTU slave serving RTU
// frames over loopback TCP, and against a scripted loopback peer for what a
// real slave will not do. CRCs: pymodbus 3.0 utilities.computeCRC, computed once.
#include "engine/exchange_engine.h"
#include "links/tcp_link.h"
#include "replies/slave_peer.h"
#include "support/exchange.h"
#include "ui/log_box.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <functional>
#include <sys/socket.h>

using namespace tallowick;
using namespace tallowick::test;

namespace {

const QString closed = QStringLiteral("-------關閉連線-------");
const QString noReply = QStringLiteral("--------無回應--------");
const QString connecting = QStringLiteral("-------正在連線-------");
const QString sendCmd1 = QStringLiteral("傳送CMD1： > 010300000001 840A");
const QString goodReply = QStringLiteral("接收 < 0103020005 7847");

QString ipEntry(quint16 port)
{
    return QStringLiteral("IP:127.0.0.1:") + QString::number(port);
}

} // namespace

class TestExchangeTcp : public QObject
{
    Q_OBJECT
private slots:
    void realSlaveDropLink();
    void realSlaveKeepLink();
    void scriptedReply_data();
    void scriptedReply();
    void segmentsAreReplies();
    void lateReply();
    void silence_data();
    void silence();
    void stopEndsWaitAtOnce();
    void refusedConnection_data();
    void refusedConnection();
    void peerClosesKeptLink();
    void peerResetsConnection();
    void stateLabel();
};

void TestExchangeTcp::realSlaveDropLink()
{
    SlavePeer slave(QStringLiteral("tcp"));
    QVERIFY(slave.isRunning());
    const quint16 port = quint16(slave.where().toUInt());
    WindowFixture f(true);
    useTcp(f, port, QStringLiteral("2000"), false);

    clickSend(f);
    QCOMPARE(f.ui().status->text(), QStringLiteral("Connecting..."));
    QCOMPARE(logLines(f.logText()), QStringList({connecting, "", ipEntry(port), "", ""}));
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()), QStringList({closed, "", goodReply, sendCmd1, "", connecting,
                                                 "", ipEntry(port), "", ""}));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Disconnected."));
    QVERIFY(!f.engine().linkOpen());
    QCOMPARE(f.engine().tcpLink().state(), int(TcpLink::Closed));
    QVERIFY(f.ui().modeSelect->isEnabled());
}

void TestExchangeTcp::realSlaveKeepLink()
{
    SlavePeer slave(QStringLiteral("tcp"));
    QVERIFY(slave.isRunning());
    const quint16 port = quint16(slave.where().toUInt());
    WindowFixture f(true);
    useTcp(f, port, QStringLiteral("2000"), true);
    f.ui().cmd[1]->setText(QStringLiteral("010600010007"));

    clickSend(f);
    QVERIFY(waitIdle(f));
    QVERIFY(f.engine().linkOpen());
    QCOMPARE(f.engine().tcpLink().state(), int(TcpLink::Connected));
    // Over the kept connection the frame goes out at once.
    QTest::mouseClick(f.ui().Label7[1], Qt::LeftButton);
    QCOMPARE(f.ui().status->text(), QStringLiteral("Send command2"));
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()),
             QStringList({"接收 < 010600010007 99C8", "傳送CMD2： > 010600010007 99C8", "",
                          goodReply, sendCmd1, "", connecting, "", ipEntry(port), "", ""}));
    QVERIFY(!f.engine().linkFailed());
}

void TestExchangeTcp::scriptedReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("entry");
    QTest::newRow("wrong CRC") << QByteArray::fromHex("01030200057848")
                               << "接收 < 0103020005 7848  *CRC錯誤　正確為  7847";
    QTest::newRow("one byte") << QByteArray::fromHex("01")
                              << "------9:Subscript out of range------";
    QTest::newRow("two bytes FF FF") << QByteArray::fromHex("FFFF") << "接收 <  FFFF";
    QTest::newRow("two other bytes")
        << QByteArray::fromHex("0103") << "接收 <  0103  *CRC錯誤　正確為  FFFF";
    QTest::newRow("Modbus TCP layout") << QByteArray::fromHex("0001000000050103020005")
                                       << "接收 < 000100000005010302 0005  *CRC錯誤　正確為  1B1";
}

void TestExchangeTcp::scriptedReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, entry);
    ScriptedPeer peer;
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) { socket->write(reply); };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("5000"), false);

    clickSend(f);
    // The exchange ends normally, whatever the reply was.
    QVERIFY(waitIdle(f));
    QCOMPARE(peer.received, QByteArray::fromHex("010300000001840A"));
    QCOMPARE(logLines(f.logText()), QStringList({closed, "", entry, sendCmd1, "", connecting, "",
                                                 ipEntry(peer.port()), "", ""}));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Disconnected."));
    QVERIFY(f.ui().modeSelect->isEnabled());
    QVERIFY(!f.ui().Timer->isActive());
}

void TestExchangeTcp::segmentsAreReplies()
{
    ScriptedPeer peer;
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) {
        socket->write(QByteArray::fromHex("010302"));
        ScriptedPeer::replyLater(socket, 100, QByteArray::fromHex("00057847"));
    };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("5000"), true);

    clickSend(f);
    QVERIFY(waitIdle(f)); // the first part ends the exchange
    QTRY_COMPARE_WITH_TIMEOUT(logLines(f.logText()),
                              QStringList({"接收 < 0005 7847  *CRC錯誤　正確為  C1B3",
                                           "接收 < 01 0302  *CRC錯誤　正確為  7E80", sendCmd1, "",
                                           connecting, "", ipEntry(peer.port()), "", ""}),
                              2000);
}

void TestExchangeTcp::lateReply()
{
    ScriptedPeer peer;
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) {
        ScriptedPeer::replyLater(socket, 500, QByteArray::fromHex("01030200057847"));
    };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("200"), true);

    clickSend(f);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()), QStringList({noReply, "", sendCmd1, "", connecting, "",
                                                 ipEntry(peer.port()), "", ""}));
    QTRY_COMPARE_WITH_TIMEOUT(logLines(f.logText()).first(), goodReply, 2000);
    QCOMPARE(f.ui().send->text(), QStringLiteral("Send"));
}

void TestExchangeTcp::silence_data()
{
    QTest::addColumn<bool>("keepLink");
    QTest::newRow("間斷連線") << false;
    QTest::newRow("保持連線") << true;
}

void TestExchangeTcp::silence()
{
    QFETCH(bool, keepLink);
    ScriptedPeer peer;
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("200"), keepLink);

    clickSend(f);
    QVERIFY(waitIdle(f));
    QStringList expected{noReply, "", sendCmd1, "", connecting, "", ipEntry(peer.port()), "", ""};
    if (!keepLink)
        expected = QStringList{closed, ""} + expected;
    QCOMPARE(logLines(f.logText()), expected);
    QCOMPARE(f.engine().linkFailed(), !keepLink);
    QCOMPARE(f.engine().linkOpen(), keepLink);
    QCOMPARE(f.engine().tcpLink().state(), keepLink ? int(TcpLink::Connected) : int(TcpLink::Closed));
    QCOMPARE(f.ui().status->text(),
             keepLink ? QStringLiteral("Connecting...") : QStringLiteral("No Connected."));
    QCOMPARE(peer.connections, 1);
}

void TestExchangeTcp::stopEndsWaitAtOnce()
{
    ScriptedPeer peer;
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("60000"), false);

    clickSend(f);
    QTRY_VERIFY_WITH_TIMEOUT(!peer.received.isEmpty(), 2000);
    QCOMPARE(f.ui().send->text(), QStringLiteral("Stop"));
    QVERIFY(!f.ui().modeSelect->isEnabled());
    clickSend(f);
    QCOMPARE(f.ui().send->text(), QStringLiteral("Send"));
    QVERIFY(f.ui().modeSelect->isEnabled());
    QVERIFY(!f.ui().Timer->isActive());
    QCOMPARE(logLines(f.logText()), QStringList({closed, "", noReply, "", sendCmd1, "", connecting,
                                                 "", ipEntry(peer.port()), "", ""}));
    QCOMPARE(f.ui().status->text(), QStringLiteral("No Connected."));
}

void TestExchangeTcp::refusedConnection_data()
{
    QTest::addColumn<bool>("keepLink");
    QTest::newRow("間斷連線") << false;
    QTest::newRow("保持連線") << true;
}

void TestExchangeTcp::refusedConnection()
{
    QFETCH(bool, keepLink);
    const quint16 port = unusedPort();
    WindowFixture f(true);
    useTcp(f, port, QStringLiteral("300"), keepLink);

    clickSend(f);
    QVERIFY(waitIdle(f));
    QStringList expected{"------9:連線錯誤------", "", connecting, "", ipEntry(port), "", ""};
    if (!keepLink)
        expected = QStringList{closed, ""} + expected;
    QCOMPARE(logLines(f.logText()), expected);
    QCOMPARE(f.ui().status->text(),
             keepLink ? QStringLiteral("Connecting...") : QStringLiteral("No Connected."));
    QVERIFY(f.engine().linkFailed());

    // The failed socket is not kept: the next Send connects again.
    ScriptedPeer peer;
    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) {
        socket->write(QByteArray::fromHex("01030200057847"));
    };
    f.ui().port->setText(QString::number(peer.port()));
    f.window->log().clear();
    clickSend(f);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()).mid(keepLink ? 0 : 2, 6),
             QStringList({goodReply, sendCmd1, "", connecting, "", ipEntry(peer.port())}));
}

void TestExchangeTcp::peerClosesKeptLink()
{
    ScriptedPeer peer;
    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) {
        socket->write(QByteArray::fromHex("01030200057847"));
    };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("200"), true);
    clickSend(f);
    QVERIFY(waitIdle(f));

    QVERIFY(peer.last());
    peer.last()->disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(f.engine().tcpLink().state(), int(TcpLink::Closed), 2000);
    f.window->log().clear();
    // The socket the peer closed is reported and nothing is sent ...
    clickSend(f);
    QCOMPARE(logLines(f.logText()), QStringList({"-------0:sckClosed-------", "", ""}));
    QVERIFY(f.engine().linkFailed());
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()),
             QStringList({noReply, "", "-------0:sckClosed-------", "", ""}));
    QCOMPARE(peer.connections, 1);
    // ... and the Send after it connects again.
    clickSend(f);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()).mid(0, 6),
             QStringList({goodReply, sendCmd1, "", connecting, "", ipEntry(peer.port())}));
    QCOMPARE(peer.connections, 2);
}

void TestExchangeTcp::peerResetsConnection()
{
    ScriptedPeer peer;
    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) { ScriptedPeer::reset(socket); };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("300"), true);

    clickSend(f);
    // No crash: the exchange ends by its time-out.
    QVERIFY(waitIdle(f));
    const QStringList lines = logLines(f.logText());
    // A reset reads as a connection the peer closed.
    QCOMPARE(lines, QStringList(
                        {noReply, "", sendCmd1, "", connecting, "", ipEntry(peer.port()), "", ""}));
    QVERIFY(!f.engine().linkOpen());

    // The next Send opens a new connection.
    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) {
        socket->write(QByteArray::fromHex("01030200057847"));
    };
    f.window->log().clear();
    clickSend(f);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()),
             QStringList({goodReply, sendCmd1, "", connecting, "", ipEntry(peer.port()), "", ""}));
    QCOMPARE(peer.connections, 2);
}

void TestExchangeTcp::stateLabel()
{
    ScriptedPeer peer;
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("200"), true);
    QVERIFY(f.ui().winsockstatus->isHidden());
    QTest::keyClick(f.ui().send, '-');
    QVERIFY(!f.ui().winsockstatus->isHidden());
    QVERIFY(f.ui().winsockchk->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(f.ui().winsockstatus->text(), QStringLiteral("winsock status :0"),
                              2500);
    clickSend(f);
    QTRY_COMPARE_WITH_TIMEOUT(f.ui().winsockstatus->text(), QStringLiteral("winsock status :7"),
                              2500);
    QTest::keyClick(f.ui().send, '-');
    QVERIFY(f.ui().winsockstatus->isHidden());
    QVERIFY(!f.ui().winsockchk->isActive());
}

QTEST_MAIN(TestExchangeTcp)
#include "tst_exchange_tcp.moc"
