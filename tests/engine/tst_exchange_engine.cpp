// Whole exchanges on the engine, with fake links and the manual clock: what
// the user does, what the peer does and when, and what the log, the status
// and the links show after it. CRCs: pymodbus 3.0 utilities.computeCRC.
#include "support/engine_fixture.h"

#include <QTest>

using namespace tallowick;
using namespace tallowick::test;

namespace {

const QString ip = QStringLiteral("IP:127.0.0.1:502");
const QString connecting = QStringLiteral("-------正在連線-------");
const QString closing = QStringLiteral("-------關閉連線-------");
const QString noReply = QStringLiteral("--------無回應--------");
const QString send1 = QStringLiteral("傳送CMD1： > 010300000001 840A");
const QString send2 = QStringLiteral("傳送CMD2： > 010300010001 D5CA");
const QString reply = QStringLiteral("接收 < 0103020005 7847|1");
const QString reply2 = QStringLiteral("接收 < 0103020007 F986|1");
const QString refusedCount = QStringLiteral("----輸入重複次數----");

} // namespace

class TestExchangeEngine : public QObject
{
    Q_OBJECT
private slots:
    void exchanges_data();
    void exchanges();
    void batchedSerialReply();
    void floodIsCutIntoReplies();
    void repeatCountsThatRoundToNone_data();
    void repeatCountsThatRoundToNone();
    void repeatWalksTheRange();
};

void TestExchangeEngine::exchanges_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("waiting");
    QTest::addColumn<int>("tcpOpens");

    // TCP: a Send connects, the connection event sends the line.
    QTest::newRow("tcp kept, reply") << "send; accept; arrive 01030200057847"
                                     << QStringList{ip, connecting, send1, reply}
                                     << "Connecting..." << false << 1;
    QTest::newRow("tcp kept link carries the next exchange")
        << "send; accept; arrive 01030200057847; send; arrive 01030200057847"
        << QStringList{ip, connecting, send1, reply, send1, reply} << "Connecting..." << false << 1;
    QTest::newRow("tcp dropped after the reply")
        << "set drop=1; send; accept; arrive 01030200057847"
        << QStringList{ip, connecting, send1, reply, closing} << "Disconnected." << false << 1;
    QTest::newRow("tcp dropped after the time-out")
        << "set drop=1; send; next" << QStringList{ip, connecting, noReply, closing}
        << "No Connected." << false << 1;
    QTest::newRow("tcp connection that never comes is forgotten")
        << "send; next; send" << QStringList{ip, connecting, noReply, ip, connecting}
        << "Connecting..." << true << 2;
    QTest::newRow("tcp line number read when the connection is made")
        << "set cmd2=010300010001; send; set sendCnt=2; accept"
        << QStringList{ip, connecting, send2} << "Connecting..." << true << 1;
    QTest::newRow("tcp late reply still logged")
        << "send; accept; next; arrive 01030200057847"
        << QStringList{ip, connecting, send1, noReply, reply} << "Connecting..." << false << 1;
    QTest::newRow("tcp one arrival is one reply")
        << "send; accept; arrive 0103; arrive 0200057847"
        << QStringList{ip, connecting, send1,
                       QStringLiteral("接收 <  0103  *CRC錯誤　正確為  FFFF|1"),
                       QStringLiteral("接收 < 020005 7847  *CRC錯誤　正確為  103|1")}
        << "Connecting..." << false << 1;
    QTest::newRow("tcp kept link closed by the peer: 0:sckClosed once, then reconnect")
        << "send; accept; arrive 01030200057847; close; send; next; send"
        << QStringList{ip,     connecting, send1, reply, QStringLiteral("-------0:sckClosed-------"),
                       noReply, ip,        connecting}
        << "Connecting..." << true << 2;
    QTest::newRow("tcp kept link reset by the peer")
        << "send; accept; arrive 01030200057847; reset; send; next"
        << QStringList{ip,
                       connecting,
                       send1,
                       reply,
                       QStringLiteral("-------9:sckError-------"),
                       QStringLiteral("------9:連線錯誤------")}
        << "Connecting..." << false << 1;
    QTest::newRow("stop takes the time-out path")
        << "send; accept; send" << QStringList{ip, connecting, send1, noReply} << "Connecting..."
        << false << 1;
    QTest::newRow("label click sends its line")
        << "set cmd3=010300010001; label 3; accept"
        << QStringList{ip, connecting, QStringLiteral("傳送CMD3： > 010300010001 D5CA")}
        << "Send command3" << true << 1;
    QTest::newRow("label click while waiting does nothing")
        << "send; label 3" << QStringList{ip, connecting} << "Connecting..." << true << 1;
    QTest::newRow("one-byte reply ends the exchange")
        << "send; accept; arrive 01"
        << QStringList{ip, connecting, send1, QStringLiteral("------9:Subscript out of range------|1")}
        << "Connecting..." << false << 1;
    QTest::newRow("crc calculate sends nothing, whatever the settings")
        << "set address=; set crc=1; crc"
        << QStringList{QStringLiteral("CRC計算 CMD1：> 010300000001 840A")} << "" << false << 0;
    QTest::newRow("empty address refused")
        << "set address=; send" << QStringList{} << "Check IP setting." << false << 0;
    QTest::newRow("line 16 refused")
        << "set sendCnt=16; send" << QStringList{QStringLiteral("-----沒有指令 16-----")} << ""
        << false << 0;

    // Serial: the reply ends when the line goes quiet.
    QTest::newRow("serial reply not ended before t3.5")
        << "mode; send; arrive 01030200057847; wait 4.010" << QStringList{send1} << "" << true
        << 0;
    QTest::newRow("serial reply ended at t3.5 (4.011 ms at 9600 baud)")
        << "mode; send; arrive 01030200057847; wait 4.011" << QStringList{send1, reply} << ""
        << false << 0;
    QTest::newRow("serial reply with a wrong CRC waits 20 ms")
        << "mode; send; arrive 0103020005FFFF; wait 19.999" << QStringList{send1} << "" << true
        << 0;
    QTest::newRow("serial reply with a wrong CRC after 20 ms")
        << "mode; send; arrive 0103020005FFFF; wait 20"
        << QStringList{send1, QStringLiteral("接收 < 0103020005 FFFF  *CRC錯誤　正確為  7847|1")}
        << "" << false << 0;
    QTest::newRow("serial pieces joined into one reply")
        << "mode; send; arrive 0103; wait 3; arrive 020005; wait 3; arrive 7847; wait 5"
        << QStringList{send1, reply} << "" << false << 0;
    QTest::newRow("serial dropped after the reply")
        << "mode; set drop=1; send; arrive 01030200057847; wait 5"
        << QStringList{send1, reply, closing} << "Disconnected." << false << 0;
    QTest::newRow("serial time-out makes no TCP connection")
        << "mode; send; next" << QStringList{send1, noReply} << "" << false << 0;
    QTest::newRow("serial device gone mid-reply: the time-out ends it")
        << "mode; send; arrive 0103; gone; idle" << QStringList{send1, noReply} << "" << false
        << 0;
    QTest::newRow("serial reply inside the time-out's last moments is logged after it")
        << "mode; set timeout=10; send; wait 8; arrive 0103020005FFFF; idle"
        << QStringList{send1, noReply,
                       QStringLiteral("接收 < 0103020005 FFFF  *CRC錯誤　正確為  7847|1")}
        << "" << false << 0;
    // A time-out never reconnects over a live connection that is not the
    // Send's own (here one a time-out made while the mode was switched).
    QTest::newRow("time-out keeps a live connection it did not ask for")
        << "mode; send; mode; next; accept; mode; send; mode; send"
        << QStringList{send1, noReply, send1, send1, noReply} << "" << false << 1;
}

void TestExchangeEngine::exchanges()
{
    QFETCH(QString, script);
    EngineFixture f;
    f.run(script);
    QTEST(f.log, "log");
    QTEST(f.status, "status");
    QTEST(f.engine.isWaiting(), "waiting");
    QTEST(int(f.tcp.opened.size()), "tcpOpens");
    // Every frame the log shows as sent went out, and no other.
    const int sentEntries = int(f.log.filter(QRegularExpression(QStringLiteral("^傳送"))).size());
    QCOMPARE(int(f.serial.written.size() + f.tcp.written.size()), sentEntries);
}

// Pieces of a reply of unknown length 8 ms apart, as a USB adapter hands them
// over, make one reply that ends 20 ms after the last.
void TestExchangeEngine::batchedSerialReply()
{
    EngineFixture f;
    f.run(QStringLiteral("mode; set cmd1=1111; send"));
    QCOMPARE(f.serial.written, QByteArrayList{QByteArray::fromHex("1111CDEC")});
    const QStringList sent{QStringLiteral("傳送CMD1： > 1111 CDEC")};
    for (const char *piece : {"0111", "0200", "057D3F"}) {
        f.run(QStringLiteral("arrive ") + QLatin1String(piece) + QStringLiteral("; wait 8"));
        QCOMPARE(f.log, sent);
        QVERIFY(f.engine.isWaiting());
    }
    f.run(QStringLiteral("wait 11.999"));
    QCOMPARE(f.log, sent);
    f.run(QStringLiteral("wait 0.001"));
    QCOMPARE(f.log, sent + QStringList{QStringLiteral("接收 < 0111020005 7D3F|1")});
    QVERIFY(!f.engine.isWaiting());
    QCOMPARE(f.exchangesEnded, 1);
    QCOMPARE(f.clock.now(), std::chrono::microseconds(36000));
}

// A device that never lets the line go quiet is taken in replies of 8 KiB.
void TestExchangeEngine::floodIsCutIntoReplies()
{
    EngineFixture f;
    f.run(QStringLiteral("mode; send"));
    const QByteArray hex = QByteArray(8191, 'A').toHex();
    f.run(QStringLiteral("arrive ") + QString::fromLatin1(hex));
    QCOMPARE(f.log.size(), 1);
    f.run(QStringLiteral("arrive AA"));
    QCOMPARE(f.log.size(), 2);
    QVERIFY(f.log.last().startsWith(QStringLiteral("接收 < 4141")));
    QVERIFY(!f.serialQuiet->isActive());
}

void TestExchangeEngine::repeatCountsThatRoundToNone_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<bool>("runs");
    QTest::newRow("0") << "0" << false;
    QTest::newRow("0.4") << "0.4" << false;
    QTest::newRow("0.5 rounds to even 0") << "0.5" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("0.6 rounds to 1") << "0.6" << true;
    QTest::newRow("1.5 rounds to even 2") << "1.5" << true;
}

void TestExchangeEngine::repeatCountsThatRoundToNone()
{
    QFETCH(QString, count);
    QFETCH(bool, runs);
    EngineFixture f;
    f.run(QStringLiteral("mode; set rCNT=") + count + QStringLiteral("; repeat; idle"));
    if (runs) {
        QVERIFY(f.dialogs.messages.isEmpty());
        QVERIFY(!f.serial.written.isEmpty());
        return;
    }
    QCOMPARE(f.dialogs.messageTexts(), QStringList{QStringLiteral("Repeat count error!")});
    QCOMPARE(f.dialogs.messages.first().flags, int(MbCritical));
    QCOMPARE(f.log, QStringList{refusedCount});
    QVERIFY(f.serial.written.isEmpty());
    QVERIFY(!f.engine.isRepeating());
}

// Two passes over lines 2 and 3: each line once the previous exchange ended,
// and the pause between passes counted from the last line's Send.
void TestExchangeEngine::repeatWalksTheRange()
{
    EngineFixture f;
    f.run(QStringLiteral("mode; set cmd2=010300010001; set cmd3=010300000001; set rpStart=2; "
                         "set rpStop=3; set rCNT=2; set repeat=10; repeat"));
    QVERIFY(f.engine.isRepeating());
    f.run(QStringLiteral("wait 1"));
    QCOMPARE(f.log, QStringList{send2});
    // The reply ends at t3.5, and the next line goes out at once.
    f.run(QStringLiteral("arrive 01030200057847; wait 4.011"));
    QCOMPARE(f.log.size(), 3);
    QVERIFY(f.repeatPause->isActive());
    QCOMPARE((f.repeatPause->due() - f.clock.now()).count(), 10000);
    f.run(QStringLiteral("arrive 0103020007F986; wait 4.011"));
    QCOMPARE(f.serial.written.size(), 2);
    f.run(QStringLiteral("wait 5.988"));
    QCOMPARE(f.serial.written.size(), 2); // the pause is not over yet
    f.run(QStringLiteral("wait 0.001"));
    QCOMPARE(f.serial.written.size(), 3);
    f.run(QStringLiteral("arrive 01030200057847; wait 5; arrive 01030200057847; wait 5; idle"));
    const QString send3 = QStringLiteral("傳送CMD3： > 010300000001 840A");
    QCOMPARE(f.log, QStringList({send2, reply, send3, reply2, send2, reply, send3, reply}));
    QVERIFY(!f.engine.isRepeating());
    QVERIFY(!f.repeatPause->isActive());
}

QTEST_MAIN(TestExchangeEngine)
#include "tst_exchange_engine.moc"
