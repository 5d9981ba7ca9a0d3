// The writers of a run's records on their own: the time key, one JSON record,
// the summary object and table from known tallies. Golden values worked out
// by hand (the times with python3's datetime).
#include "run/record_writers.h"

#include <QTest>
#include <limits>

#include <cstdlib>
#include <ctime>

using namespace tallowick;
using namespace std::chrono;

class TestRecordWriters : public QObject
{
    Q_OBJECT
private slots:
    void jsonRecord_data()
    {
        QTest::addColumn<bool>("replied");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("a reply")
            << true
            << QByteArray("{\"n\":7,\"time\":\"2023-11-14T22:13:20.000005+00:00\",\"line\":15,"
                          "\"request\":\"0103000A0001A408\",\"reply\":\"0183020AF1\","
                          "\"result\":\"exception\",\"response_us\":1234}\n");
        QTest::newRow("none") << false
                              << QByteArray(
                                     "{\"n\":7,\"time\":\"2023-11-14T22:13:20.000005+00:00\","
                                     "\"line\":15,\"request\":\"0103000A0001A408\","
                                     "\"reply\":null,\"result\":\"no-reply\","
                                     "\"response_us\":null}\n");
    }

    void jsonRecord()
    {
        QFETCH(bool, replied);
        ExchangeRecord record;
        record.n = 7;
        record.time = QStringLiteral("2023-11-14T22:13:20.000005+00:00");
        record.line = 15;
        record.request = QByteArray::fromHex("0103000A0001A408");
        if (replied) {
            record.reply = QByteArray::fromHex("0183020af1");
            record.outcome = ExchangeOutcome::Exception;
            record.response = std::chrono::microseconds(1234);
        } else {
            record.outcome = ExchangeOutcome::NoReply;
        }
        QTEST(jsonRecordLine(record), "line");
    }

    // Every number at its longest, an 8 KiB reply and no request: the line is
    // written into a buffer of its greatest length.
    void jsonRecordAtItsLimits()
    {
        ExchangeRecord record;
        record.n = quint64(std::numeric_limits<qint64>::max());
        record.time = QStringLiteral("2023-11-14T22:13:20.000005+00:00");
        record.line = std::numeric_limits<int>::min();
        record.reply = QByteArray(8192, char(0xFF));
        record.outcome = ExchangeOutcome::Interrupted;
        record.response = std::chrono::microseconds(std::numeric_limits<qint64>::min());
        QCOMPARE(jsonRecordLine(record),
                 "{\"n\":9223372036854775807,\"time\":\"2023-11-14T22:13:20.000005+00:00\","
                 "\"line\":-2147483648,\"request\":\"\",\"reply\":\"" +
                     QByteArray(16384, 'F') +
                     "\",\"result\":\"interrupted\",\"response_us\":-9223372036854775808}\n");
    }

    // Line 2: three replies of 1, 2 and 4 ms, one missing; line 9 nothing
    // but a link failure.
    void summaries()
    {
        ExchangeStats stats;
        stats.record(2, ExchangeOutcome::Ok, milliseconds(4));
        stats.record(2, ExchangeOutcome::NoReply, std::nullopt);
        stats.record(2, ExchangeOutcome::WrongCrc, milliseconds(1));
        stats.record(2, ExchangeOutcome::Ok, milliseconds(2));
        stats.record(9, ExchangeOutcome::LinkFailed, std::nullopt);
        const QByteArray none = "\"wrong-crc\":0,\"too-short\":0,\"exception\":0,"
                                "\"unexpected\":0,";
        QCOMPARE(jsonSummaryLine(stats),
                 QByteArray("{\"summary\":{\"total\":{\"exchanges\":5,\"ok\":2,\"wrong-crc\":1,"
                            "\"too-short\":0,\"exception\":0,\"unexpected\":0,\"no-reply\":1,"
                            "\"link-failed\":1,\"bad-header\":0,\"interrupted\":0,"
                            "\"response_us\":{\"min\":1000,\"median\":2000,\"p99\":4000,"
                            "\"max\":4000}},\"lines\":{\"2\":{\"exchanges\":4,\"ok\":2,"
                            "\"wrong-crc\":1,\"too-short\":0,\"exception\":0,\"unexpected\":0,"
                            "\"no-reply\":1,\"link-failed\":0,\"bad-header\":0,"
                            "\"interrupted\":0,\"response_us\":{\"min\":1000,\"median\":2000,"
                            "\"p99\":4000,\"max\":4000}},\"9\":{\"exchanges\":1,\"ok\":0," +
                            none +
                            "\"no-reply\":0,\"link-failed\":1,\"bad-header\":0,"
                            "\"interrupted\":0,\"response_us\":null}}}}\n"));
        const QStringList table = summaryTable(stats).split(u'\n');
        QCOMPARE(table.size(), 5); // header, two lines, total, the last line break
        QCOMPARE(table[1].split(u' ', Qt::SkipEmptyParts),
                 (QStringList{"2", "4", "2", "1", "0", "0", "0", "1", "0", "0", "0", "1.000",
                              "2.000", "4.000", "4.000"}));
        QCOMPARE(table[2].split(u' ', Qt::SkipEmptyParts),
                 (QStringList{"9", "1", "0", "0", "0", "0", "0", "0", "1", "0", "0", "-", "-", "-",
                              "-"}));
        QCOMPARE(table[3].left(5), QStringLiteral("total"));
        // Every row as wide as the header, the columns right-aligned.
        QCOMPARE(table[1].size(), table[0].size());
        QCOMPARE(table[3].size(), table[0].size());
    }
};

QTEST_GUILESS_MAIN(TestRecordWriters)
#include "tst_record_writers.moc"
