// Whole exchanges and repeat runs on the engine, with fake links and the
// manual clock: what the user does, what the peer does and when, and what the
// log, the status and the links show after it. CRCs and reply entries:
// pymodbus 3.0 utilities.computeCRC, and replies of the libmodbus 3.1 slave.
#include "frames/framing.h"
#include "support/engine_fixture.h"

#include <QHash>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace tallowick;
using namespace tallowick::test;
using namespace Qt::StringLiterals;

namespace {

const QString wrong = QStringLiteral("  *CRC錯誤　正確為  ");
const QString reply = QStringLiteral("接收 < 0103020005 7847|1");
const QString tooShort = QStringLiteral("------9:Subscript out of range------|1");
const QString half = QStringLiteral("接收 < 01 0302  *CRC錯誤　正確為  7E80|1");
// Log entries by short names, for the rows below.
const QHash<QString, QString> named{{"ip", "IP:127.0.0.1:502"},
                                    {"connecting", "-------正在連線-------"},
                                    {"closing", "-------關閉連線-------"},
                                    {"noReply", "--------無回應--------"},
                                    {"linkError", "------9:連線錯誤------"},
                                    {"sckClosed", "-------0:sckClosed-------"},
                                    {"send1", "傳送CMD1： > 010300000001 840A"},
                                    {"send2", "傳送CMD2： > 010300010001 D5CA"},
                                    {"send3", "傳送CMD3： > 010300000001 840A"},
                                    {"reply", reply},
                                    {"reply2", "接收 < 0103020007 F986|1"},
                                    {"wrongCrc", "接收 < 0103020005 FFFF" + wrong + "7847|1"},
                                    {"half", half},
                                    {"tooShort", tooShort},
                                    {"portBox", "box 16 COM Port Error: Error port setting"}};
// Lines 2 and 3 twice, 10 ms apart, up to the moment before the second pass.
const QString range = QStringLiteral(
    "mode; set cmd2=010300010001; set cmd3=010300000001; set rpStart=2; set rpStop=3; "
    "set rCNT=2; repeat; wait 1; good; wait 4.688; arrive 0103020007F986; wait 4.688; "
    "wait 5.311");

// The log as names of entries or entries themselves, ", " between them; what
// is left after it as "status | links".
void row(const char *name, const QString &script, const QString &log, const char *after)
{
    QStringList expected;
    for (const QString &entry : log.split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        expected << named.value(entry, entry);
    }
    QTest::newRow(name) << script << expected << QString::fromUtf8(after);
}

// A row for each value, put in for %1 in the script and the log, named by its script.
void rows(std::initializer_list<const char *> values, const char *script, const char *log,
          const char *after)
{
    for (const char *value : values) {
        const auto fill = [value](const char *text) {
            return QString::fromUtf8(text).replace(QStringLiteral("%1"), QString::fromUtf8(value));
        };
        row(qPrintable(fill(script)), fill(script), fill(log), after);
    }
}

// Repeat runs are read as short tokens: S<n>@<ms> line n sent at that time
// (ms since the click; the pause timer fires 1 ms after it), K<n> its CRC
// shown, R the reply 0103020005 7847, T no reply, X link closed, IP and C a
// connection asked for, E the refused count, end@<ms> the run over; other
// entries as they are.
QString token(const QString &entry, const QString &at)
{
    static const QHash<QString, QString> fixed{
        {QStringLiteral("--------無回應--------"), QStringLiteral("T")},
        {QStringLiteral("-------關閉連線-------"), QStringLiteral("X")},
        {QStringLiteral("IP:127.0.0.1:502"), QStringLiteral("IP")},
        {QStringLiteral("-------正在連線-------"), QStringLiteral("C")},
        {QStringLiteral("----輸入重複次數----"), QStringLiteral("E")},
        {QStringLiteral("接收 < 0103020005 7847"), QStringLiteral("R")}};
    static const QRegularExpression line(QStringLiteral("^(傳送|CRC計算 )CMD(\\d+)："));
    if (fixed.contains(entry))
        return fixed.value(entry);
    const auto match = line.match(entry);
    if (!match.hasMatch())
        return entry;
    return match.captured(1) == u"傳送" ? u'S' + match.captured(2) + u'@' + at
                                        : u'K' + match.captured(2);
}

} // namespace

class TestExchangeEngine : public QObject
{
    Q_OBJECT
private slots:
    void exchanges_data()
    {
        QTest::addColumn<QString>("script"); // "good": a good reply arrives
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("after"); // see EngineFixture::links()

        // TCP: a Send connects, the connection event sends the line.
        row("tcp kept: the next Send and a label use the live connection",
            "send; accept; good; set cmd2=010300010001; label 2; good",
            "ip, connecting, send1, reply, send2, reply", "Send command2 | tcp 7 1/2 open");
        row("tcp dropped after the reply", "set drop=1; send; accept; good",
            "ip, connecting, send1, reply, closing", "Disconnected. | tcp 0 1/1");
        row("tcp kept: silence (an arrival of no bytes included) keeps the connection",
            "send; accept; arrive; next", "ip, connecting, send1, noReply",
            "Connecting... | tcp 7 1/1 open");
        row("tcp dropped after silence", "set drop=1; send; accept; next",
            "ip, connecting, send1, noReply, closing", "No Connected. | tcp 0 1/1 failed");
        row("tcp dropped after a connection that never came", "set drop=1; send; next",
            "ip, connecting, noReply, closing", "No Connected. | tcp 0 1/0 failed");
        row("tcp kept: a connection that never comes is forgotten", "send; next; send",
            "ip, connecting, noReply, ip, connecting", "Connecting... | tcp 6 2/0 open waiting");
        row("tcp line number read when the connection is made; a label does nothing meanwhile",
            "set cmd2=010300010001; send; set sendCnt=2; label 3; accept", "ip, connecting, send2",
            "Connecting... | tcp 7 1/1 open waiting");
        row("stop takes the time-out path, a late reply is still logged",
            "send; accept; send; good", "ip, connecting, send1, noReply, reply",
            "Connecting... | tcp 7 1/1 open");
        // A closed kept link is reported once by the next Send, whose time-out
        // forgets it; the Send after that connects again.
        row("tcp kept: half a reply, then the peer closes",
            "send; accept; arrive 010302; close; send; next; send; accept; good",
            "ip, connecting, send1, half, sckClosed, noReply, ip, connecting, send1, reply",
            "Connecting... | tcp 7 2/2 open");
        row("tcp kept: half a reply, then the peer resets",
            "send; accept; arrive 010302; reset; send; next",
            "ip, connecting, send1, half, -------9:sckError-------, linkError",
            "Connecting... | tcp 0 1/1 failed");
        row("tcp kept: peer killed while a reply is awaited",
            "send; accept; close; next; send; accept; good",
            "ip, connecting, send1, noReply, ip, connecting, send1, reply",
            "Connecting... | tcp 7 2/2 open");
        row("tcp dropped: peer killed while a reply is awaited",
            "set drop=1; send; accept; close; next; send; accept; good",
            "ip, connecting, send1, noReply, closing, ip, connecting, send1, reply, closing",
            "Disconnected. | tcp 0 2/2 failed");
        row("tcp dropped: one byte, then the peer closes",
            "set drop=1; send; accept; arrive 01; close; send; accept; good",
            "ip, connecting, send1, tooShort, closing, ip, connecting, send1, reply, closing",
            "Disconnected. | tcp 0 2/2");
        row("tcp kept: reset on accepting, after the request",
            "send; accept; reset; next; send; accept; good",
            "ip, connecting, send1, linkError, ip, connecting, send1, reply",
            "Connecting... | tcp 7 2/2 open failed");
        row("tcp kept: connection refused", "send; reset; next; send; accept; good",
            "ip, connecting, linkError, ip, connecting, send1, reply",
            "Connecting... | tcp 7 2/1 open failed");
        row("tcp dropped: connection refused", "set drop=1; send; reset; next",
            "ip, connecting, linkError, closing", "No Connected. | tcp 0 1/0 failed");
        row("label click sends its line", "set cmd3=010300010001; label 3; accept",
            "ip, connecting, 傳送CMD3： > 010300010001 D5CA",
            "Send command3 | tcp 7 1/1 open waiting");
        row("crc calculate sends nothing, whatever the settings", "set address=; crc",
            "CRC計算 CMD1：> 010300000001 840A", "|");
        // Refusals leave the engine idle with no link touched. CRC Calculate reads
        // the line number itself, whatever the settings.
        rows({"0", "", "x", "-2"}, "set sendCnt=%1; send",
             "box 16 Tallowick: What instruction execution?!", "Check send command. |");
        rows({"16", "15.5", "2.5", "&HFFFFFFFFFFFFFFFFFFFF"}, "set sendCnt=%1; send",
             "box 16 Tallowick: Error Command Line Index., -----沒有指令 %1-----", "|");
        rows({"send", "mode; send"}, "set address=; %1", "box 16 Tallowick: IP is Null.",
             "Check IP setting. |");
        row("label: empty time-out refused", "mode; set timeout=; label 3",
            "box 16 Tallowick: Timeout is Null.", "Send command3 |");
        rows({"", "16", "0.3", "0"}, "set address=; set sendCnt=%1; crc",
             "box 16 Tallowick: Command Input Error, -----沒有指令 %1-----, ¶", "|");
        rows({"01 03", "G1", "0x01", "&H01"}, "set cmd1=%1; crc", "", "輸入錯誤 |");
        row("a connection made while serial is chosen sends nothing", "mode; accept", "",
            "| tcp 7 0/0");
        // A time-out never reconnects over a live connection that is not the
        // Send's own (here one a time-out made while the mode was switched).
        row("time-out keeps a live connection it did not ask for",
            "mode; send; mode; next; accept; mode; send; mode; send",
            "send1, noReply, send1, send1, noReply", "| tcp 7 1/1 serial 7 1/2");

        // Serial: the reply ends when the line goes quiet.
        // t3.5 and one character after the last delivery: 3.646 + 1.042 ms at
        // 9600,n,8,1; 1.75 + 0.087 ms at 115200.
        row("serial reply not ended before t3.5 and a character", "mode; send; good; wait 4.687",
            "send1", "| serial 7 1/1 waiting");
        row("serial reply ended at t3.5 and a character (4.688 ms at 9600 baud)",
            "mode; send; good; wait 4.688", "send1, reply", "| serial 7 1/1");
        row("serial end of reply at the link's rate: 1.837 ms at 115200 baud",
            "mode; set baud=115200; send; good; wait 1.837", "send1, reply", "| serial 7 1/1");
        row("serial reply with a wrong CRC waits 20 ms",
            "mode; send; arrive 0103020005FFFF; wait 19.999", "send1", "| serial 7 1/1 waiting");
        row("serial reply with a wrong CRC after 20 ms",
            "mode; send; arrive 0103020005FFFF; wait 20", "send1, wrongCrc", "| serial 7 1/1");
        row("serial pieces joined into one reply",
            "mode; send; arrive 0103; wait 3; arrive 020005; wait 3; arrive 7847; wait 5",
            "send1, reply", "| serial 7 1/1");
        // A USB adapter hands a reply of unknown length over in batches 8 ms apart.
        row("serial batches of a reply of unknown length, 20 ms after the last",
            "mode; set cmd1=1111; send; arrive 0111; wait 8; arrive 0200; wait 8; arrive 057D3F; "
            "wait 20",
            "傳送CMD1： > 1111 CDEC, 接收 < 0111020005 7D3F|1", "| serial 7 1/1");
        row("serial dropped after the reply, opened again by the next Send",
            "mode; set drop=1; send; good; wait 5; send; good; wait 5",
            "send1, reply, closing, send1, reply, closing", "Disconnected. | serial 0 2/2");
        row("serial kept port used as it is, whatever comSelect says",
            "mode; send; good; wait 5; set comSelect=0; send; good; wait 5",
            "send1, reply, send1, reply", "| serial 7 1/2");
        row("serial time-out makes no TCP connection and keeps the port for a late reply",
            "mode; set drop=1; send; next; good; wait 5", "send1, noReply, closing, reply, closing",
            "Disconnected. | serial 0 1/1 failed");
        row("serial reply inside the time-out's last moments is logged after it",
            "mode; set timeout=10; send; wait 8; arrive 0103020005FFFF; idle",
            "send1, noReply, wrongCrc", "| serial 7 1/1");
        row("serial stop while a reply is collected",
            "mode; set drop=1; send; arrive 0103020005FFFF; send; idle",
            "send1, noReply, closing, wrongCrc, closing", "Disconnected. | serial 0 1/1 failed");
        row("serial device gone mid-reply: the time-out ends it, the next Send opens it",
            "mode; send; arrive 0103; gone; idle; send; good; wait 5",
            "send1, noReply, send1, reply", "| serial 7 2/2");
        row("serial device gone mid-reply, opened again at once: the part reply is dropped",
            "mode; send; arrive 0103; gone; send; send; wait 20", "send1, noReply, send1",
            "| serial 7 2/2 waiting");
        row("serial device gone between exchanges, a Send while it is away",
            "mode; send; good; wait 5; gone; set open=InvalidPort; send; idle; set open=None; "
            "send; good; wait 5",
            "send1, reply, portBox, noReply, send1, reply", "| serial 7 3/2");
        row("serial port refuses the line settings", "mode; set open=InvalidSettings; send; idle",
            "box 16 COM Port Error: Error configure setting, noReply", "| serial 0 1/0");
        row("serial port busy", "mode; set open=Other; send; idle", "noReply", "| serial 0 1/0");
        row("serial port names no device", "mode; set comSelect=0; send", "portBox",
            "Check COM Port setting. |");

        // Repeat runs: each line once the previous exchange ended, the pause
        // counted from the last line's Send, the count rounded half to even.
        row("repeat pause not over yet", range, "send2, reply, send3, reply2",
            "| serial 7 1/2 repeating");
        row("repeat walks the range twice", range + "; wait 0.001; good; wait 5; good; idle",
            "send2, reply, send3, reply2, send2, reply, send3, reply", "| serial 7 1/4");
        row("repeat count 1.5 is two passes", "mode; set rCNT=1.5; repeat; idle",
            "send1, noReply, send1, noReply", "| serial 7 1/2");
        row("repeat with the peer killed ends at the dead link, the next run goes through",
            "set rCNT=3; repeat; wait 1; accept; good; close; idle; "
            "set rCNT=2; repeat; wait 1; accept; good; wait 10; good",
            "ip, connecting, send1, reply, sckClosed, noReply, ip, connecting, send1, reply, "
            "send1, "
            "reply",
            "Connecting... | tcp 7 2/3 open");
        row("repeat with the device gone ends by its count",
            "mode; set rCNT=2; repeat; wait 1; good; wait 5; gone; set open=InvalidPort; idle",
            "send1, reply, portBox, noReply", "| serial 0 2/1");
    }

    void exchanges()
    {
        QFETCH(QString, script);
        EngineFixture f;
        QStringList ends;
        connect(&f.engine, &ExchangeEngine::exchangeEnded, &f.engine, [&ends](ExchangeResult r) {
            const char *names[] = {"reply", "wrongCrc", "tooShort", "noReply", "linkFailed"};
            ends << QLatin1String(names[int(r)]);
        });
        f.run(script.replace(QStringLiteral("good"), QStringLiteral("arrive 01030200057847")));
        QTEST(f.log, "log");
        // Each exchange ends with the entry that tells how, and says the same.
        QStringList told;
        for (const QString &entry : std::as_const(f.log)) {
            if (entry.startsWith(u"接收"))
                told << (entry.contains(u"CRC錯誤") ? u"wrongCrc"_s : u"reply"_s);
            else if (entry == tooShort)
                told << u"tooShort"_s;
            else if (entry.contains(u"無回應"))
                told << u"noReply"_s;
            else if (entry.contains(u"連線錯誤"))
                told << u"linkFailed"_s;
        }
        QCOMPARE(ends, told);
        QTEST((f.status + QStringLiteral(" | ") + f.links()).trimmed(), "after");
        // Every frame the log shows as sent went out as shown, and no other.
        QByteArrayList shown;
        for (const QString &entry : f.log.filter(QRegularExpression(QStringLiteral("^傳送"))))
            shown << QByteArray::fromHex(entry.section(u'>', 1).toLatin1());
        QByteArrayList written = f.tcp.written + f.serial.written;
        std::sort(shown.begin(), shown.end());
        std::sort(written.begin(), written.end());
        QCOMPARE(written, shown);
    }

    // Replies on both links. Each TCP arrival is a reply of its own; on the serial
    // line the pieces of a reply come together.
    void replies_data()
    {
        QTest::addColumn<QString>("arrivals"); // the pieces, hexadecimal, blank between them
        QTest::addColumn<QStringList>("entries");
        auto add = [](const char *name, const QString &arrivals, const QStringList &entries) {
            QTest::newRow(name) << arrivals << entries;
        };
        add("one byte ends the exchange", "01", {tooShort});
        add("split at 1", "01 030200057847", {tooShort, "接收 < 03020005 7847" + wrong + "61A3|1"});
        add("split at 2", "0103 0200057847",
            {"接收 <  0103" + wrong + "FFFF|1", "接收 < 020005 7847" + wrong + "103|1"});
        add("split at 3", "010302 00057847", {half, "接收 < 0005 7847" + wrong + "C1B3|1"});
        add("split at 6", "010302000578 47", {"接收 < 01030200 0578" + wrong + "F0B8|1", tooShort});
        QByteArray noise;
        for (int i = 0; i < 64; ++i)
            noise.append(char((i * 37 + 11) % 256));
        add("64 bytes of noise", QString::fromLatin1(noise.toHex()),
            {"接收 < "
             "0B30557A9FC4E90E33587DA2C7EC11365B80A5CAEF14395E83A8CDF2173C6186ABD0F51A3F6489AED3"
             "F81D42678CB1D6FB20456A8FB4D9FE23486D92B7DC 0126" +
             wrong + "C0A9|1"});
    }

    void replies()
    {
        QFETCH(QString, arrivals);
        QFETCH(QStringList, entries);
        const QStringList pieces = arrivals.split(u' ');
        for (const bool serial : {false, true}) {
            EngineFixture f;
            f.run(serial ? QStringLiteral("mode; send") : QStringLiteral("send; accept"));
            for (const QString &piece : pieces)
                f.run(QStringLiteral("arrive ") + piece);
            f.run(QStringLiteral("idle"));
            QCOMPARE(f.log.mid(serial ? 1 : 3),
                     serial && pieces.size() > 1 ? QStringList{reply} : entries);
            QVERIFY(!f.engine.isWaiting());
        }
    }

    // A device that never lets the line go quiet is taken in replies of 8 KiB,
    // without losing a byte.
    void floodIsCutIntoReplies()
    {
        EngineFixture f;
        f.run(QStringLiteral("mode; send; arrive ") + QString(2 * 8190, u'4'));
        QCOMPARE(f.log.size(), 1);
        f.run(QStringLiteral("arrive 4141"));
        QVERIFY(!f.serialQuiet->isActive());
        f.run(QStringLiteral("arrive 42; idle"));
        QCOMPARE(f.log.size(), 3);
        const QString text = f.log.at(1).mid(5).section(QStringLiteral("  *"), 0, 0).remove(u' ');
        QCOMPARE(QByteArray::fromHex(text.toLatin1()), QByteArray(8190, 0x44) + "AA");
        QCOMPARE(f.log.at(2), tooShort);
    }

    // The report of each exchange, and its moments on the clock (in us): the
    // line and request as they went out, the reply as it came, the result,
    // when the wait began and the request left, the response time from then
    // to the reply's last bytes (a serial reply's last arrival, not its quiet
    // time), why the link failed. A reply after its exchange ended reports
    // nothing more.
    void reports_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("reports");
        QTest::addColumn<bool>("mbap"); // Modbus TCP framing on the TCP link
        const auto row = [](const char *name, const char *script, const QString &report,
                            bool mbap = false) {
            QTest::newRow(name) << QString::fromUtf8(script) << QStringList{report} << mbap;
        };
        row("serial, a reply in two pieces",
            "mode; wait 2; send; wait 5; arrive 0103; wait 1.5; arrive 0200057847; idle",
            "1 010300000001840A 01030200057847 0 @2000 @2000 6500 - -");
        row("tcp, sent once connected", "send; wait 4; accept; wait 3; arrive 01030200057847",
            "1 010300000001840A 01030200057847 0 @0 @4000 3000 - -");
        row("tcp, line 3, no reply", "set cmd3=010300010001; set sendCnt=3; send; accept; next",
            "3 010300010001D5CA - 3 @0 @0 - - -");
        row("tcp, a reply after its time-out", "send; accept; next; arrive 01030200057847",
            "1 010300000001840A - 3 @0 @0 - - -");
        row("tcp, nobody listens: nothing sent", "send; reset; next", "0 - - 4 @0 - - reset -");
        row("tcp, the peer closes under the exchange",
            "set drop=0; send; accept; wait 2; close; next",
            "1 010300000001840A - 3 @0 @0 - closed -");
        row("serial, a port that cannot be opened", "mode; set open=InvalidPort; send; next",
            "0 - - 3 @0 - - no port -");
        row("serial, the device gone while waiting", "mode; send; wait 1; gone; next",
            "1 010300000001840A - 3 @0 @0 - gone -");
        // Modbus TCP: the request behind its header, no CRC; the reply
        // framed by its MBAP length and kept as it came.
        const QString mbapAdu = QStringLiteral("1 000100000006010300000001 ");
        row("mbap: a reply in two arrivals",
            "set crc=0; send; accept; wait 2; arrive 000100000005010302; wait 1; arrive 0005",
            mbapAdu + "0001000000050103020005 0 @0 @0 3000 - -", true);
        row("mbap: another transaction id",
            "set crc=0; send; accept; arrive 0007000000050103020005",
            mbapAdu + "0007000000050103020005 5 @0 @0 0 - MBAP transaction 7, expected 1",
            true);
        row("mbap: a length that leaves no byte count",
            "set crc=0; send; accept; arrive 0001000000020103",
            mbapAdu + "0001000000020103 2 @0 @0 0 - its function needs more than the MBAP "
                          "length of 2 leaves",
            true);
        row("mbap: an exception reply", "set crc=0; send; accept; arrive 000100000003018302",
            mbapAdu + "000100000003018302 0 @0 @0 0 - -", true);
        row("mbap: the peer closes inside a reply",
            "set crc=0; send; accept; arrive 00010000000501; close; next",
            mbapAdu +
                "00010000000501 2 @0 @0 - closed its MBAP length is 5, and 1 bytes of it came",
            true);
    }

    void reports()
    {
        QFETCH(QString, script);
        QFETCH(QStringList, reports);
        QFETCH(bool, mbap);
        EngineFixture f;
        MbapFraming framing;
        if (mbap)
            f.engine.setTcpFraming(&framing);
        QStringList heard;
        const auto hex = [](const QByteArray &bytes) {
            return bytes.isEmpty() ? QStringLiteral("-")
                                   : QString::fromLatin1(bytes.toHex().toUpper());
        };
        const auto us = [](ExchangeReport::Moment at) {
            return QStringLiteral("@%1").arg(
                std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch())
                    .count());
        };
        connect(&f.engine, &ExchangeEngine::exchangeReported, this, [&](const ExchangeReport &r) {
            heard << QStringList{QString::number(r.line),
                                 hex(r.request),
                                 r.reply ? hex(*r.reply) : QStringLiteral("-"),
                                 QString::number(int(r.result)),
                                 us(r.begun),
                                 r.sent ? us(*r.sent) : QStringLiteral("-"),
                                 r.response ? QString::number(r.response->count())
                                            : QStringLiteral("-"),
                                 r.linkFailure.isEmpty() ? QStringLiteral("-") : r.linkFailure,
                                 r.replyFault.isEmpty() ? QStringLiteral("-") : r.replyFault}
                         .join(u' ');
        });
        f.run(script);
        QCOMPARE(heard, reports);
    }

    // Of two waits on one pause the first to end ends both, once; a QTimer
    // waits whole milliseconds, a part of one rounded up.
    void waits()
    {
        using namespace std::chrono_literals;
        ManualClock clock;
        QObject owner;
        FirstOfTwoWait both(clock.newTimer(&owner), clock.newTimer(&owner));
        QSignalSpy fired(&both, &OneShotTimer::timeout);
        both.start(10ms);
        QVERIFY(both.isActive() && clock.next());
        QVERIFY(!both.isActive() && !clock.next());
        QCOMPARE(fired.size(), 1);
        QTimer timer;
        QTimerWait wait(&timer);
        wait.start(1500us);
        QVERIFY(wait.isActive());
        QCOMPARE(timer.interval(), 2);
        wait.stop();
        QVERIFY(!timer.isActive());
    }

    void repeatRuns_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("tokens");
        QTest::addColumn<QStringList>("boxes");
        const auto row = [](const char *name, const QString &script, const char *tokens,
                            const QStringList &boxes = {}) {
            QTest::newRow(name) << script << QString::fromUtf8(tokens) << boxes;
        };
        const QStringList countError{QStringLiteral("Repeat count error!|16|Tallowick")};

        for (const char *count : {"0", "0.5"})
            row(qPrintable(QStringLiteral("count %1 refused").arg(count)),
                QStringLiteral("mode; set rCNT=%1; repeat; idle").arg(count), "E", countError);
        row("pause refused", "mode; set rCNT=2; set repeat=0; repeat; idle", "E", countError);
        row("each line after the last exchange, the pause from the last send",
            "mode; set timeout=5; set rpStop=2; set rCNT=2; set repeat=20; repeat; idle",
            "S1@1 T S2@6 T S1@26 T S2@31 end@31 T");
        row("a pause shorter than the reply: the next pass waits for it",
            "mode; set timeout=5; set rCNT=2; set repeat=2; repeat; idle", "S1@1 T S1@6 end@6 T");
        row("start above stop: passes and pauses, nothing sent",
            "mode; set rpStart=3; set rpStop=2; set rCNT=3; set repeat=20; repeat; idle", "end@41");
        row("2.5 passes round to 2", "set rpStart=2; set rCNT=2.5; set repeat=1; repeat; idle",
            "end@2");
        row("32767 passes", "set rpStart=2; set rCNT=32767; set repeat=1; repeat; wait 40000",
            "end@32767");
        row("Stop Send while waiting: the reply still handled, nothing more sent",
            "mode; set rpStop=3; set rCNT=5; repeat; wait 2; repeat; arrive 01030200057847; idle",
            "S1@1 end@2 R");
        row("Stop Send refused while the count is invalid: the run goes on",
            "mode; set repeat=10000; set rCNT=3; repeat; wait 1; set rCNT=0; repeat; set rCNT=3; "
            "repeat; idle",
            "S1@1 E end@1 T", countError);
        row("a Send refused by its checks ends the run",
            "mode; set address=; set rCNT=5; repeat; idle", "end@1",
            {QStringLiteral("IP is Null.|16|Tallowick")});
        row("TCP dropped after a time-out: the run ends",
            "set drop=1; set rpStop=3; set rCNT=4; repeat; wait 1; accept; idle",
            "IP C S1@1 T X end@1001");
        row("TCP kept, silent peer: every line times out, the run goes on",
            "set timeout=100; set rpStop=2; set rCNT=3; repeat; wait 1; accept; idle",
            "IP C S1@1 T S2@101 T S1@201 T S2@301 T S1@401 T S2@501 end@501 T");
        row("a pass waits while its connection is made",
            "set timeout=100; set rpStop=2; repeat; wait 50; accept; idle",
            "IP C S1@50 T S2@101 end@101 T");
        row("a connection not made within the time-out ends the run",
            "set timeout=100; set rCNT=2; repeat; idle", "IP C T end@101");
        row("a link failure left from before does not end the next run",
            "set drop=1; send; next; repeat; next; idle", "IP C T X IP C T X end@2001");
        row("CRC Calculate in a run moves on to the next line",
            "mode; set timeout=5; set rpStop=3; repeat; wait 1; crc; idle",
            "S1@1 K2 T S3@6 end@6 T");
        // Fields typed while the run goes on are read again, whatever they say.
        row("stop line emptied: the pass ends at its next check",
            "mode; set rpStop=3; set rCNT=2; repeat; wait 1; set rpStop=; idle", "S1@1 T end@1011");
        row("pause beyond a timer kept at 2^31 - 1 ms",
            "mode; set rCNT=2; repeat; set repeat=1" + QString(400, u'0') + "; idle",
            "S1@1 T S1@2147483648 end@2147483648 T");
        row("negative pause: the next pass at once",
            "mode; set rCNT=2; repeat; set repeat=-5; idle", "S1@1 T S1@1001 end@1001 T");
        row("count emptied: the passes go on, Stop Send refused",
            "mode; set rCNT=2; repeat; wait 1; set rCNT=; repeat; idle",
            "S1@1 E T S1@1001 end@1001 T", countError);
        row("start line beyond every line: the next pass sends nothing",
            "mode; set rCNT=2; repeat; set rpStart=&HFFFFFFFFFFFFFFFFFFFF; idle", "S1@1 end@11 T");
        row("stop line beyond every line: lines past 15 refused",
            "mode; set timeout=5; set rpStart=15; set rpStop=15; repeat; set rpStop=99999999999; "
            "wait 8; set rpStop=1; idle",
            "S15@1 T -----沒有指令 16----- ¶ T end@11",
            {QStringLiteral("Command Input Error|16|Tallowick")});
    }

    void repeatRuns()
    {
        QFETCH(QString, script);
        EngineFixture f;
        QStringList tokens;
        bool repeating = false;
        const auto at = [&f] {
            const qint64 us = f.clock.now().count();
            return us % 1000 ? QString::number(us / 1000.0, 'f', 3) : QString::number(us / 1000);
        };
        connect(&f.engine, &ExchangeEngine::logEntry, &f.engine,
                [&](const QString &entry) { tokens << token(entry, at()); });
        connect(&f.engine, &ExchangeEngine::logLineBreak, &f.engine,
                [&] { tokens << QStringLiteral("¶"); });
        connect(&f.engine, &ExchangeEngine::repeatingChanged, &f.engine, [&](bool on) {
            if (repeating && !on)
                tokens << QStringLiteral("end@") + at();
            repeating = on;
        });
        f.run(script);
        QTEST(tokens.join(u' '), "tokens");
        QTEST(f.boxes, "boxes");
        QVERIFY(!f.engine.isRepeating() && !f.repeatPause->isActive());
        QVERIFY(!f.engine.linkFailed()); // the end of a run clears it
        QCOMPARE(f.serial.written.size() + f.tcp.written.size(),
                 tokens.filter(QStringLiteral("@")).size() -
                     tokens.filter(QStringLiteral("end@")).size());
    }
};

QTEST_MAIN(TestExchangeEngine)
#include "tst_exchange_engine.moc"
