// Whole exchanges on the serial link: against the libmodbus RTU slave on a pty,
// and against a scripted pty end for what a real slave will not do.
// CRCs: pymodbus 3.0 utilities.computeCRC, computed once.
#include "engine/exchange_engine.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "replies/slave_peer.h"
#include "support/pty_pair.h"
#include "support/exchange.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

using namespace tallowick;
using namespace tallowick::test;

namespace {

const QString closed = QStringLiteral("-------關閉連線-------");
const QString noReply = QStringLiteral("--------無回應--------");
const QString sendCmd1 = QStringLiteral("傳送CMD1： > 010300000001 840A");
const QString goodReply = QStringLiteral("接收 < 0103020005 7847");

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

class TestExchangeSerial : public QObject
{
    Q_OBJECT
private slots:
    void realSlave_data();
    void realSlave();
    void keepOrDropThePort();
    void scriptedReply_data();
    void scriptedReply();
    void adapterBatchesMakeOneReply();
    void wellFormedReplyIsNotHeldBack();
    void timeOutWhileReplyArrives();
    void lateReply();
    void timeOutStartsNoConnection();
    void connectionEventSendsNothing();
    void portDisappears();
    void openingFails_data();
    void openingFails();
};

void TestExchangeSerial::realSlave_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("received");
    QTest::newRow("read holding") << "010300000001" << sendCmd1 << goodReply;
    QTest::newRow("read input") << "010400000002"
                                << "傳送CMD1： > 010400000002 71CB"
                                << "接收 < 01040400050000 EB85";
    QTest::newRow("write register") << "010600010007"
                                    << "傳送CMD1： > 010600010007 99C8"
                                    << "接收 < 010600010007 99C8";
    QTest::newRow("write coil") << "0105000AFF00"
                                << "傳送CMD1： > 0105000AFF00 AC38"
                                << "接收 < 0105000AFF00 AC38";
    QTest::newRow("exception") << "010300000064"
                               << "傳送CMD1： > 010300000064 4421"
                               << "接收 < 018302 C0F1";
}

void TestExchangeSerial::realSlave()
{
    QFETCH(QString, command);
    QFETCH(QString, sent);
    QFETCH(QString, received);
    SlavePeer slave(QStringLiteral("pty"));
    QVERIFY(slave.isRunning());
    WindowFixture f(true);
    useSerial(f, slave.where(), QStringLiteral("2000"), false);
    f.ui().cmd[0]->setText(command);

    clickSend(f);
    QCOMPARE(f.ui().send->text(), QStringLiteral("Stop"));
    QVERIFY(!f.ui().modeSelect->isEnabled());
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()), QStringList({closed, "", received, sent, "", ""}));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Disconnected."));
    QVERIFY(f.ui().modeSelect->isEnabled());
    QVERIFY(!f.engine().serialLink().isOpen());
    QVERIFY(!f.ui().Timer->isActive());
}

void TestExchangeSerial::keepOrDropThePort()
{
    SlavePeer slave(QStringLiteral("pty"));
    QVERIFY(slave.isRunning());
    WindowFixture f(true);
    useSerial(f, slave.where(), QStringLiteral("2000"), true);

    clickSend(f);
    QVERIFY(waitIdle(f));
    QVERIFY(f.engine().serialLink().isOpen());
    // An open port is used as it is: a changed comSelect has no say.
    f.ui().comSelect->setText(QStringLiteral("/dev/nonexistent-tty"));
    clickSend(f);
    QVERIFY(waitIdle(f));
    QVERIFY(f.engine().serialLink().isOpen());

    f.ui().comSelect->setText(slave.where());
    f.ui().connect[0]->setChecked(true);
    clickSend(f);
    QVERIFY(waitIdle(f));
    QVERIFY(!f.engine().serialLink().isOpen());
    // The next Send opens the port again.
    clickSend(f);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()),
             QStringList({closed, "", goodReply, sendCmd1, "", closed, "", goodReply, sendCmd1, "",
                          goodReply, sendCmd1, "", goodReply, sendCmd1, "", ""}));
}

void TestExchangeSerial::scriptedReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("entry");
    QTest::newRow("wrong CRC") << QByteArray::fromHex("01030200057848")
                               << "接收 < 0103020005 7848  *CRC錯誤　正確為  7847";
    QTest::newRow("one byte") << QByteArray::fromHex("01")
                              << "------9:Subscript out of range------";
    QTest::newRow("two bytes") << QByteArray::fromHex("FFFF") << "接收 <  FFFF";
    QTest::newRow("two other bytes")
        << QByteArray::fromHex("0103") << "接收 <  0103  *CRC錯誤　正確為  FFFF";
}

void TestExchangeSerial::scriptedReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, entry);
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    useSerial(f, pty.slavePath(), QStringLiteral("5000"), false);

    clickSend(f);
    QCOMPARE(pty.read(), QByteArray::fromHex("010300000001840A"));
    pty.write(reply);
    // The exchange ends normally, whatever the reply was.
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()), QStringList({closed, "", entry, sendCmd1, "", ""}));
    QVERIFY(f.ui().modeSelect->isEnabled());
    QVERIFY(!f.ui().Timer->isActive());
    QVERIFY(!f.engine().serialLink().isOpen());
}

void TestExchangeSerial::adapterBatchesMakeOneReply()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    useSerial(f, pty.slavePath(), QStringLiteral("5000"), true);

    clickSend(f);
    QVERIFY(!pty.read().isEmpty());
    // A USB adapter hands a reply over in batches up to 16 ms apart. A pty on
    // a busy machine adds its own delivery delay to every gap, so the batches
    // here come closer together; the margin for 16 ms lies in the quiet time.
    pty.write(QByteArray::fromHex("0103"));
    QTimer::singleShot(8, [&] { pty.write(QByteArray::fromHex("020005")); });
    QTimer::singleShot(16, [&] { pty.write(QByteArray::fromHex("7847")); });
    QVERIFY(waitIdle(f));
    QTest::qWait(60); // nothing more follows
    QCOMPARE(logLines(f.logText()), QStringList({goodReply, sendCmd1, "", ""}));
}

void TestExchangeSerial::wellFormedReplyIsNotHeldBack()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    useSerial(f, pty.slavePath(), QStringLiteral("5000"), true);
    f.ui().configCOM->setText(QStringLiteral("115200,n,8,1"));

    // Time from the reply's last byte to the end of the exchange: the best of
    // a few tries, so that a busy machine does not decide the result.
    auto fastest = [&](const QByteArray &reply) {
        double best = std::numeric_limits<double>::max();
        QElapsedTimer clock;
        double ended = -1;
        QObject context;
        connect(&f.engine(), &ExchangeEngine::exchangeEnded, &context,
                [&] { ended = double(clock.nsecsElapsed()) / 1e6; });
        for (int i = 0; i < 5; ++i) {
            clickSend(f);
            pty.read();
            QSignalSpy done(&f.engine(), &ExchangeEngine::exchangeEnded);
            ended = -1;
            pty.write(reply);
            clock.start();
            if (!done.wait(2000))
                return -1.0;
            best = std::min(best, ended);
        }
        return best;
    };
    const double wellFormed = fastest(QByteArray::fromHex("01030200057847"));
    const double wrongCrc = fastest(QByteArray::fromHex("01030200057848"));
    qInfo("reply logged after %.1f ms (well-formed) and %.1f ms (wrong CRC)", wellFormed, wrongCrc);
    QVERIFY(wellFormed >= 0);
    QVERIFY(wellFormed < 20);
    QVERIFY(wrongCrc >= 20);
}

void TestExchangeSerial::timeOutWhileReplyArrives()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    useSerial(f, pty.slavePath(), QStringLiteral("5000"), false);

    clickSend(f);
    QVERIFY(!pty.read().isEmpty());
    QSignalSpy arrived(&f.engine().serialLink(), &Link::dataArrived);
    pty.write(QByteArray::fromHex("01030200057848")); // waits out the long quiet time
    QVERIFY(arrived.wait(2000));
    // The wait ends now, while the reply is still being collected.
    clickSend(f);
    QCOMPARE(logLines(f.logText()), QStringList({closed, "", noReply, "", sendCmd1, "", ""}));
    QTRY_COMPARE_WITH_TIMEOUT(
        logLines(f.logText()),
        QStringList({closed, "", "接收 < 0103020005 7848  *CRC錯誤　正確為  7847", closed, "",
                     noReply, "", sendCmd1, "", ""}),
        2000);
}

void TestExchangeSerial::lateReply()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    useSerial(f, pty.slavePath(), QStringLiteral("200"), false);

    clickSend(f);
    QVERIFY(!pty.read().isEmpty());
    QVERIFY(waitIdle(f));
    // The time-out leaves the serial port open, so a late reply still comes in.
    QVERIFY(f.engine().serialLink().isOpen());
    pty.write(QByteArray::fromHex("01030200057847"));
    QTRY_COMPARE_WITH_TIMEOUT(
        logLines(f.logText()),
        QStringList({closed, "", goodReply, closed, "", noReply, "", sendCmd1, "", ""}), 2000);
    QCOMPARE(f.ui().send->text(), QStringLiteral("Send"));
}

void TestExchangeSerial::timeOutStartsNoConnection()
{
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost));
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    f.ui().port->setText(QString::number(peer.serverPort()));
    useSerial(f, pty.slavePath(), QStringLiteral("300"), false);

    // Stop ends the wait at once, exactly as the time-out does.
    clickSend(f);
    QVERIFY(!pty.read().isEmpty());
    clickSend(f);
    QCOMPARE(f.ui().send->text(), QStringLiteral("Send"));
    QCOMPARE(logLines(f.logText()), QStringList({closed, "", noReply, "", sendCmd1, "", ""}));

    // While the reply is awaited the program sleeps.
    f.window->log().clear();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    clickSend(f);
    QVERIFY(waitIdle(f));
    const qint64 waited = clock.elapsed();
    const double cpu = cpuSeconds() - cpuBefore;
    qInfo("time-out after %lld ms, %.1f ms of CPU time", waited, cpu * 1000);
    QVERIFY(waited >= 300);
    QVERIFY(cpu < 0.1);

    QCOMPARE(logLines(f.logText()), QStringList({closed, "", noReply, "", sendCmd1, "", ""}));
    QCOMPARE(f.ui().status->text(), QStringLiteral("No Connected."));
    QVERIFY(f.engine().serialLink().isOpen()); // the time-out closes no serial port
    QVERIFY(f.engine().linkFailed());
    QVERIFY(!peer.waitForNewConnection(200));
    QCOMPARE(f.engine().tcpLink().state(), int(TcpLink::Closed));
}

void TestExchangeSerial::connectionEventSendsNothing()
{
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost));
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    useSerial(f, pty.slavePath(), QStringLiteral("2000"), true);
    clickSend(f);
    QVERIFY(!pty.read().isEmpty());
    pty.write(QByteArray::fromHex("01030200057847"));
    QVERIFY(waitIdle(f));

    // A connection that comes up while the serial link is chosen transmits nothing.
    QSignalSpy connected(&f.engine().tcpLink(), &TcpLink::connected);
    f.engine().tcpLink().open(LinkTarget::tcp(QStringLiteral("127.0.0.1"), peer.serverPort()));
    QVERIFY(connected.wait(2000));
    QCOMPARE(pty.read(200), QByteArray());
    QCOMPARE(logLines(f.logText()), QStringList({goodReply, sendCmd1, "", ""}));
    f.engine().tcpLink().close();
}

void TestExchangeSerial::portDisappears()
{
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    WindowFixture f(true);
    useSerial(f, pty->slavePath(), QStringLiteral("300"), true);
    clickSend(f);
    QVERIFY(!pty->read().isEmpty());

    pty.reset(); // the adapter is pulled out
    QTRY_VERIFY_WITH_TIMEOUT(!f.engine().serialLink().isOpen(), 2000);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()), QStringList({noReply, "", sendCmd1, "", ""}));

    // Plugged in again: the next Send opens the port anew.
    SlavePeer slave(QStringLiteral("pty"));
    QVERIFY(slave.isRunning());
    f.ui().comSelect->setText(slave.where());
    clickSend(f);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()).mid(0, 2), QStringList({goodReply, sendCmd1}));
}

void TestExchangeSerial::openingFails_data()
{
    QTest::addColumn<QString>("comSelect");
    QTest::addColumn<QString>("configCOM");
    QTest::addColumn<QString>("message");
    QTest::newRow("no such device") << "/dev/nonexistent-tty"
                                    << "9600,n,8,1"
                                    << "Error port setting";
    QTest::newRow("unknown parity") << ""
                                    << "9600,x,8,1"
                                    << "Error configure setting";
    QTest::newRow("no baud rate") << ""
                                  << ",n,8,1"
                                  << "Error configure setting";
}

void TestExchangeSerial::openingFails()
{
    QFETCH(QString, comSelect);
    QFETCH(QString, configCOM);
    QFETCH(QString, message);
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    useSerial(f, comSelect.isEmpty() ? pty.slavePath() : comSelect, QStringLiteral("200"), false);
    f.ui().configCOM->setText(configCOM);
    f.dialogs.clear();

    clickSend(f);
    QCOMPARE(f.dialogs.messageTexts(), QStringList({message}));
    QCOMPARE(f.dialogs.messages.at(0).title, QStringLiteral("COM Port Error"));
    QCOMPARE(f.dialogs.messages.at(0).flags, int(MbCritical));
    // The wait goes on until the time-out reports the missing reply.
    QCOMPARE(f.ui().send->text(), QStringLiteral("Stop"));
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()), QStringList({closed, "", noReply, "", ""}));
    QCOMPARE(pty.read(100), QByteArray());
}

QTEST_MAIN(TestExchangeSerial)
#include "tst_exchange_serial.moc"
