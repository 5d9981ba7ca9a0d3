// Repeated sending through the real window: Command2 clicked, the lines going
// out to loopback peers, the log read back. CRCs: pymodbus 3.0 computeCRC.
#include "engine/exchange_engine.h"
#include "replies/slave_peer.h"
#include "support/exchange.h"
#include "support/pty_pair.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace tallowick;
using namespace tallowick::test;

namespace {

const QString repeatSend = QStringLiteral("Repeat Send");
const QString stopSend = QStringLiteral("Stop Send");

// Lines 1 to 3 read registers 0, 1 and 2 of unit 1.
void threeLines(WindowFixture &f)
{
    f.ui().cmd[0]->setText(QStringLiteral("010300000001"));
    f.ui().cmd[1]->setText(QStringLiteral("010300010001"));
    f.ui().cmd[2]->setText(QStringLiteral("010300020001"));
}

void setRun(WindowFixture &f, const QString &start, const QString &stop, const QString &count,
            const QString &pause)
{
    f.ui().rpStart->setText(start);
    f.ui().rpStop->setText(stop);
    f.ui().rCNT->setText(count);
    f.ui().repeat->setText(pause);
}

bool waitRunEnded(WindowFixture &f, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (f.engine().isRepeating() || f.ui().Command2->text() != repeatSend) {
        if (clock.elapsed() > ms)
            return false;
        QSignalSpy ended(&f.engine(), &ExchangeEngine::exchangeEnded);
        ended.wait(50);
    }
    return true;
}

// The transmit entries of the log, oldest first, as their labels ("CMD2：").
QStringList sentLines(WindowFixture &f)
{
    QStringList sent;
    for (const QString &line : logLines(f.logText()))
        if (line.startsWith(QStringLiteral("傳送")))
            sent.prepend(line.mid(2, line.indexOf(u' ') - 2));
    return sent;
}

int countEntries(WindowFixture &f, const QString &prefix)
{
    int n = 0;
    for (const QString &line : logLines(f.logText()))
        n += line.startsWith(prefix) ? 1 : 0;
    return n;
}

} // namespace

class TestRepeatedSending : public QObject
{
    Q_OBJECT
private slots:
    void twoPassesAgainstSlave_data();
    void twoPassesAgainstSlave();
    void twoPassesOnSerialSlave();
    void stopWhileWaiting();
    void startAboveStop();
    void silentPeerDroppingLink();
    void silentPeerKeepingLink();
    void badValues_data();
    void badValues();
    void stopRefusedWhileCountInvalid();
    void sendRefusalEndsTheRun();
    void pauseBetweenPasses();
};

void TestRepeatedSending::twoPassesAgainstSlave_data()
{
    QTest::addColumn<bool>("keepLink");
    QTest::newRow("間斷連線") << false;
    QTest::newRow("保持連線") << true;
}

void TestRepeatedSending::twoPassesAgainstSlave()
{
    QFETCH(bool, keepLink);
    SlavePeer slave(QStringLiteral("tcp"));
    QVERIFY(slave.isRunning());
    WindowFixture f(true);
    useTcp(f, quint16(slave.where().toUInt()), QStringLiteral("2000"), keepLink);
    threeLines(f);
    setRun(f, QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("100"));

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QCOMPARE(f.ui().Command2->text(), stopSend);
    QVERIFY(waitRunEnded(f, 10000));
    QVERIFY(waitIdle(f));

    QCOMPARE(sentLines(f), QStringList({"CMD1：", "CMD2：", "CMD3：", "CMD1：", "CMD2：", "CMD3："}));
    // Register 0 holds 5, the others 0.
    QCOMPARE(countEntries(f, QStringLiteral("接收 < 0103020005 7847")), 2);
    QCOMPARE(countEntries(f, QStringLiteral("接收 < 0103020000 B844")), 4);
    QCOMPARE(countEntries(f, QStringLiteral("接收")), 6);
    QCOMPARE(countEntries(f, QStringLiteral("--------無回應--------")), 0);
    QCOMPARE(f.ui().Command2->text(), repeatSend);
    QVERIFY(!f.engine().linkFailed());
}

void TestRepeatedSending::twoPassesOnSerialSlave()
{
    SlavePeer slave(QStringLiteral("pty"));
    QVERIFY(slave.isRunning());
    WindowFixture f(true);
    useSerial(f, slave.where(), QStringLiteral("2000"), true);
    threeLines(f);
    setRun(f, QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("20"));

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(waitRunEnded(f, 10000));
    QVERIFY(waitIdle(f));
    QCOMPARE(sentLines(f), QStringList({"CMD2：", "CMD3：", "CMD2：", "CMD3："}));
    QCOMPARE(countEntries(f, QStringLiteral("接收 < 0103020000 B844")), 4);
}

void TestRepeatedSending::stopWhileWaiting()
{
    ScriptedPeer peer;
    QTcpSocket *pending = nullptr;
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) { pending = socket; };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("3000"), true);
    threeLines(f);
    setRun(f, QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("5"), QStringLiteral("10"));

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(pending != nullptr, 3000);
    QTest::mouseClick(f.ui().Command2, Qt::LeftButton); // "Stop Send"
    QCOMPARE(f.ui().Command2->text(), repeatSend);
    QVERIFY(!!f.engine().isWaiting());

    // The awaited reply is still handled, and nothing more goes out.
    pending->write(QByteArray::fromHex("01030200057847"));
    QVERIFY(waitIdle(f));
    QTest::qWait(200);
    QCOMPARE(sentLines(f), QStringList({"CMD1："}));
    QCOMPARE(countEntries(f, QStringLiteral("接收 < 0103020005 7847")), 1);
    QCOMPARE(peer.received, QByteArray::fromHex("010300000001840A"));
    QVERIFY(!f.engine().isRepeating());
}

void TestRepeatedSending::startAboveStop()
{
    ScriptedPeer peer;
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("1000"), true);
    setRun(f, QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("20"));

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(waitRunEnded(f, 5000));
    // Three empty passes with their two pauses between them.
    QVERIFY(clock.elapsed() >= 40);
    QCOMPARE(f.logText(), QString());
    QCOMPARE(peer.connections, 0);
}

void TestRepeatedSending::silentPeerDroppingLink()
{
    ScriptedPeer peer; // accepts and never answers
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("150"), false);
    threeLines(f);
    setRun(f, QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("10"));

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(waitRunEnded(f, 5000));
    // The first time-out closes the link, and a closed link ends the run.
    QCOMPARE(sentLines(f), QStringList({"CMD1："}));
    QCOMPARE(countEntries(f, QStringLiteral("--------無回應--------")), 1);
    QVERIFY(!f.engine().linkFailed()); // the end of the run clears it
    QVERIFY(isIdle(f));
}

void TestRepeatedSending::silentPeerKeepingLink()
{
    ScriptedPeer peer;
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("100"), true);
    threeLines(f);
    setRun(f, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("10"));

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(waitRunEnded(f, 10000));
    QVERIFY(waitIdle(f));
    QCOMPARE(sentLines(f), QStringList({"CMD1：", "CMD2：", "CMD1：", "CMD2：", "CMD1：", "CMD2："}));
    QCOMPARE(countEntries(f, QStringLiteral("--------無回應--------")), 6);
    QCOMPARE(peer.connections, 1);
}

void TestRepeatedSending::badValues_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("pause");
    QTest::newRow("count empty") << "1" << "3" << "" << "1000";
    QTest::newRow("count zero") << "1" << "3" << "0" << "1000";
    QTest::newRow("count negative") << "1" << "3" << "-2" << "1000";
    QTest::newRow("count above 32767") << "1" << "3" << "32768" << "1000";
    QTest::newRow("stop line 16") << "1" << "16" << "2" << "1000";
    QTest::newRow("pause zero") << "1" << "3" << "2" << "0";
    QTest::newRow("pause negative") << "1" << "3" << "2" << "-10";
    QTest::newRow("pause empty") << "1" << "3" << "2" << "";
    QTest::newRow("pause too long for a timer") << "1" << "3" << "2" << "2147483648";
    QTest::newRow("start line 0") << "0" << "3" << "2" << "1000";
    QTest::newRow("start line 16") << "16" << "15" << "2" << "1000";
    QTest::newRow("stop line 0") << "1" << "0" << "2" << "1000";
}

void TestRepeatedSending::badValues()
{
    QFETCH(QString, start);
    QFETCH(QString, stop);
    QFETCH(QString, count);
    QFETCH(QString, pause);
    ScriptedPeer peer;
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("1000"), true);
    setRun(f, start, stop, count, pause);
    f.dialogs.clear();

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts(), QStringList({QStringLiteral("Repeat count error!")}));
    QCOMPARE(f.dialogs.messages[0].flags, int(MbCritical));
    QCOMPARE(f.dialogs.messages[0].title, QStringLiteral("Tallowick"));
    QCOMPARE(logLines(f.logText()), QStringList({"----輸入重複次數----", "", ""}));
    QCOMPARE(f.ui().Command2->text(), repeatSend);
    QTest::qWait(50);
    QCOMPARE(peer.connections, 0);
    QVERIFY(!f.engine().isRepeating());
}

void TestRepeatedSending::stopRefusedWhileCountInvalid()
{
    ScriptedPeer peer;
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("1000"), true);
    setRun(f, QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("10000"));
    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QCOMPARE(f.ui().Command2->text(), stopSend);

    f.ui().rCNT->setText(QStringLiteral("0"));
    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts().last(), QStringLiteral("Repeat count error!"));
    QVERIFY(f.engine().isRepeating()); // the run goes on

    f.ui().rCNT->setText(QStringLiteral("3"));
    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(!f.engine().isRepeating());
    QCOMPARE(f.ui().Command2->text(), repeatSend);
}

void TestRepeatedSending::sendRefusalEndsTheRun()
{
    ScriptedPeer peer;
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("1000"), true);
    f.ui().address->clear(); // the Send checks refuse every line
    setRun(f, QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("5"), QStringLiteral("10"));
    f.dialogs.clear();

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(waitRunEnded(f, 3000));
    QCOMPARE(f.dialogs.messageTexts(), QStringList({QStringLiteral("IP is Null.")}));
    QCOMPARE(f.logText(), QString());
    QVERIFY(isIdle(f));
}

void TestRepeatedSending::pauseBetweenPasses()
{
    // A peer that answers at once; the pause runs from the last send of a pass.
    ScriptedPeer peer;
    QList<qint64> arrivals;
    QElapsedTimer clock;
    clock.start();
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) {
        arrivals << clock.elapsed();
        socket->write(QByteArray::fromHex("01030200057847"));
    };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("1000"), true);
    threeLines(f);
    setRun(f, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("100"));

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(waitRunEnded(f, 10000));
    QVERIFY(waitIdle(f));
    QCOMPARE(arrivals.size(), 6);
    for (int pass = 1; pass < 3; ++pass) {
        const qint64 gap = arrivals[2 * pass] - arrivals[2 * pass - 1];
        QVERIFY2(gap >= 99 && gap < 100 + 60, qPrintable(QString::number(gap)));
    }
}

QTEST_MAIN(TestRepeatedSending)
#include "tst_repeated_sending.moc"
