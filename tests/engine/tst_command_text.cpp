// Command text to frame, CRC-16 and frame text; the reply entry with its CRC
// check, and the serial end-of-reply rule. Golden CRCs: computed once with
// pymodbus 3.0's pymodbus.utilities.computeCRC (Debian python3-pymodbus),
// independent of this code, and the worked examples of the frame format; the
// end of a reply worked out by hand from the characters of the settings.
#include "engine/command_text.h"
#include "frames/crc.h"
#include "frames/quiet_time.h"
#include "frames/reply_check.h"
#include "links/line_timing.h"

#include <QTest>

using namespace tallowick;

class TestCommandText : public QObject
{
    Q_OBJECT
private slots:
    void frames_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("crc");
        QTest::addColumn<QString>("text"); // the frame text; null: the line is rejected
        const auto row = [](const char *name, const QString &command, bool crc, const char *text) {
            QTest::newRow(name) << command << crc << (text ? QString::fromLatin1(text) : QString());
        };
        row("default line, CRC on", "030102030405", true, "030102030405 0E93");
        row("default line, CRC off", "030102030405", false, "030102030405");
        row("read one register", "010300000001", true, "010300000001 840A");
        row("lower case, CRC on", "0a0B", true, "0A0B 46D7");
        row("odd length: last digit is a byte", "12345", true, "123405 0706");
        row("thirteen digits", "0106000100039", true, "01060001000309 CAAC");
        row("empty, CRC on", "", true, " FFFF");
        row("empty, CRC off", "", false, "");
        row("write multiple registers", "01100001000204000A0102", true,
            "01100001000204000A0102 9230");
        row("CRC with a leading zero byte", "11010013002500", true, "11010013002500 05C4");
        row("FF", "ff", true, "FF FF00");
        // Every other rejected line is a seed of the command_text harness.
        row("blank inside", "01 03", true, nullptr);
        row("G", "G1", true, nullptr);
    }

    void frames()
    {
        QFETCH(QString, command);
        QFETCH(bool, crc);
        QFETCH(QString, text);
        const auto built = commandFrame(command, crc);
        QCOMPARE(textToFrame(command).has_value(), !text.isNull());
        QCOMPARE(built.has_value(), !text.isNull());
        if (!built)
            return;
        QCOMPARE(built->text, text);
        // The bytes on the wire are the frame text's digits.
        QCOMPARE(built->bytes, QByteArray::fromHex(text.toLatin1()));
    }

    void crcOfReceivedFrames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("crc");
        QTest::newRow("read reply") << QByteArray::fromHex("010300000001840A") << 0x0A84;
        QTest::newRow("register value reply") << QByteArray::fromHex("01030200057847") << 0x4778;
        QTest::newRow("two bytes") << QByteArray::fromHex("1234") << 0xFFFF;
        QTest::newRow("nothing") << QByteArray() << 0xFFFF;
    }

    void crcOfReceivedFrames()
    {
        QFETCH(QByteArray, frame);
        QTEST(int(CRC16(frame)), "crc");
    }

    void replyEntry_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("entry"); // null: too short to check
        const auto row = [](const char *name, const char *hex, const QString &entry) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << entry;
        };
        // The expected CRC's other layouts and the replies too short to check
        // are seeds of the reply_check harness, which checks every entry.
        const QString wrong = QStringLiteral("  *CRC錯誤　正確為  ");
        row("correct", "01030200057847", "接收 < 0103020005 7847");
        row("last byte changed", "01030200057848", "接收 < 0103020005 7848" + wrong + "7847");
        row("both bytes below 10 hex", "01030240E60000", "接收 < 01030240E6 0000" + wrong + "8E");
        row("one byte", "01", QString());
    }

    void replyEntry()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QString, entry);
        const auto text = replyEntryText(reply);
        QCOMPARE(text.has_value(), !entry.isNull());
        QCOMPARE(text.value_or(QString()), entry);
    }

    void quietTime_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<qint64>("quietUs");
        const auto row = [](const char *name, const char *hex, const char *settings, qint64 quiet) {
            QTest::newRow(name) << QByteArray::fromHex(hex) << QString::fromLatin1(settings)
                                << quiet;
        };
        // A whole, CRC-correct reply ends t3.5 and one character after the
        // last delivery, rounded up to the microsecond (by hand: 3646 + 1041.7
        // us at 9600,n,8,1, 4011 + 1145.8 us at 9600,e,8,1, 1750 + 86.8 us at
        // 115200,n,8,1). Anything else waits
        // out the batching of USB adapters, 20 ms: the reply_check harness
        // holds every incomplete or wrong reply to it.
        row("03 reply", "01030200057847", "9600,n,8,1", 4688);
        row("03 reply, even parity", "01030200057847", "9600,e,8,1", 5157);
        row("03 reply, fast line", "01030200057847", "115200,n,8,1", 1837);
        row("04 reply", "01040400050000EB85", "9600,n,8,1", 4688);
        row("06 echo", "01060001000799C8", "9600,n,8,1", 4688);
        row("exception", "018302C0F1", "9600,n,8,1", 4688);
        row("part of a reply", "010302000578", "9600,n,8,1", 20000);
        row("no byte count yet", "0103", "9600,n,8,1", 20000);
        row("unknown layout", "01110AB4FF4C4D42332E312E3648AE", "9600,n,8,1", 20000);
        row("no line", "01030200057847", "", 20000);
    }

    void quietTime()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, settings);
        const auto line = parseLineSettings(settings);
        const auto frameEnd = line ? std::optional(lineTiming(*line).frameEnd()) : std::nullopt;
        QTEST(qint64(replyQuietTime(bytes, frameEnd).count()), "quietUs");
    }
};

QTEST_GUILESS_MAIN(TestCommandText)
#include "tst_command_text.moc"
