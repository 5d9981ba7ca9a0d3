// What the monitor writes of a frame: its line of text, its JSON object, its
// pcap record, and the summary. Times in a fixed zone of the TZ variable.
#include "monitor/frame_record.h"
#include "monitor/pcap_format.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <ctime>

using namespace tallowick;

namespace {

// 2023-11-14 22:13:20.123456 UTC.
constexpr qint64 someWallUs = 1'700'000'000'123'456;

Judgement replyTo(quint64 request, qint64 us, std::optional<quint8> exception = {})
{
    return {FrameRole::Reply, request, us, exception};
}

const Judgement request{FrameRole::Request, {}, {}, {}};
const Judgement unknown{FrameRole::Unknown, {}, {}, {}};

struct MonitoredFrameRow
{
    QString hex;
    std::optional<qint64> gapUs;
    Judgement judgement;
    bool split = false;
    bool joined = false;
    std::optional<qint64> innerGapUs = {};
};

MonitoredFrame frameOf(const MonitoredFrameRow &row)
{
    CutFrame cut;
    cut.bytes = QByteArray::fromHex(row.hex.toLatin1());
    cut.firstByteUs = 5'000'000;
    cut.gapUs = row.gapUs;
    cut.split = row.split;
    cut.joined = row.joined;
    cut.innerGapUs = row.innerGapUs;
    return monitoredFrame(7, cut, someWallUs - 5'000'000, row.judgement);
}

} // namespace

Q_DECLARE_METATYPE(MonitoredFrameRow)

class TestMonitorOutput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC0");
        ::tzset();
    }

    void lines_data()
    {
        QTest::addColumn<MonitoredFrameRow>("row");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("json");
        QTest::newRow("first request")
            << MonitoredFrameRow{"010300000001840A", {}, request}
            << "#7  22:13:20.123456  first  request  010300000001 840A  CRC ok  unit 1, 03 read "
               "holding registers, register 0, count 1"
            << R"({"n":7,"time":"2023-11-14T22:13:20.123456+00:00","gap_us":null,"bytes":"010300000001840A","crc_ok":true,"role":"request","split":false,"joined":false})";
        QTest::newRow("reply")
            << MonitoredFrameRow{"0103040001000A2BF4", 1500, replyTo(6, 2345)}
            << "#7  22:13:20.123456  +1.500 ms  reply  0103040001000A 2BF4  CRC ok  to #6 after "
               "2.345 ms  unit 1, 03 read holding registers, 4 bytes"
            << R"({"n":7,"time":"2023-11-14T22:13:20.123456+00:00","gap_us":1500,"bytes":"0103040001000A2BF4","crc_ok":true,"role":"reply","reply_to":6,"response_us":2345,"split":false,"joined":false})";
        QTest::newRow("wrong CRC")
            << MonitoredFrameRow{"0106000100039809", 4011, unknown}
            << "#7  22:13:20.123456  +4.011 ms  unknown  010600010003 9809  CRC wrong, should be "
               "980B  unit 1, 06 write single register, register 1, value 3"
            << R"({"n":7,"time":"2023-11-14T22:13:20.123456+00:00","gap_us":4011,"bytes":"0106000100039809","crc_ok":false,"expected_crc":"980B","role":"unknown","split":false,"joined":false})";
        QTest::newRow("exception, split")
            << MonitoredFrameRow{"018302C0F1", 0, replyTo(6, 0, 2), true}
            << "#7  22:13:20.123456  +0.000 ms  reply  018302 C0F1  CRC ok  split  to #6 after "
               "0.000 ms  unit 1, 83 read holding registers, exception 02 illegal data address"
            << R"({"n":7,"time":"2023-11-14T22:13:20.123456+00:00","gap_us":0,"bytes":"018302C0F1","crc_ok":true,"role":"reply","reply_to":6,"response_us":0,"exception":2,"split":true,"joined":false})";
        QTest::newRow("joined, with a pause inside")
            << MonitoredFrameRow{"010300000001840A", 5000, request, false, true, 10000}
            << "#7  22:13:20.123456  +5.000 ms  request  010300000001 840A  CRC ok  joined  t1.5 "
               "exceeded (silent 10.000 ms inside)  unit 1, 03 read holding registers, register "
               "0, count 1"
            << R"({"n":7,"time":"2023-11-14T22:13:20.123456+00:00","gap_us":5000,"bytes":"010300000001840A","crc_ok":true,"role":"request","inner_gap_us":10000,"split":false,"joined":true})";
        QTest::newRow("10 request, unknown function")
            << MonitoredFrameRow{"01100001000204000A01029230", 2000, request}
            << "#7  22:13:20.123456  +2.000 ms  request  01100001000204000A0102 9230  CRC ok  unit "
               "1, 10 write multiple registers, register 1, count 2"
            << R"({"n":7,"time":"2023-11-14T22:13:20.123456+00:00","gap_us":2000,"bytes":"01100001000204000A01029230","crc_ok":true,"role":"request","split":false,"joined":false})";
        QTest::newRow("one byte")
            << MonitoredFrameRow{"FF", 123456, unknown}
            << "#7  22:13:20.123456  +123.456 ms  unknown  FF  no CRC  too short for an address "
               "and a function code"
            << R"({"n":7,"time":"2023-11-14T22:13:20.123456+00:00","gap_us":123456,"bytes":"FF","crc_ok":false,"role":"unknown","split":false,"joined":false})";
        QTest::newRow("function without a name")
            << MonitoredFrameRow{"0141C010", 2000, unknown}
            << "#7  22:13:20.123456  +2.000 ms  unknown  0141 C010  CRC ok  unit 1, 41"
            << R"({"n":7,"time":"2023-11-14T22:13:20.123456+00:00","gap_us":2000,"bytes":"0141C010","crc_ok":true,"role":"unknown","split":false,"joined":false})";
    }
    void lines()
    {
        QFETCH(MonitoredFrameRow, row);
        const MonitoredFrame frame = frameOf(row);
        QTEST(frameTextLine(frame), "text");
        const QString json = frameJsonLine(frame);
        QTEST(json, "json");
        QJsonParseError error{};
        QVERIFY(QJsonDocument::fromJson(json.toUtf8(), &error).isObject());
    }

    void pcap()
    {
        QCOMPARE(pcapFileHeader().toHex(),
                 QByteArray("d4c3b2a1020004000000000000000000ffff000093000000"));
        QCOMPARE(pcapRecord(someWallUs, QByteArray::fromHex("010300000001840A")).toHex(),
                 QByteArray("00f1536540e2010008000000080000000103000000018 40a").replace(' ', ""));
        // Stamps before the epoch do not wrap round.
        QCOMPARE(pcapRecord(-5, QByteArray()).toHex(), QByteArray(32, '0'));
    }

    void unanswered()
    {
        QCOMPARE(unansweredTextLine({5, 1'000'000}),
                 QStringLiteral("#5 unanswered after 1000.000 ms"));
    }

    void summaries_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("json");
        QTest::newRow("no replies")
            << QList<qint64>{}
            << "12 frames, 3 CRC errors, 4 requests, 0 replies, 2 unanswered, 1 exceptions, 5 "
               "split, 6 joined"
            << R"({"summary":{"frames":12,"crc_errors":3,"requests":4,"replies":0,"unanswered":2,"exceptions":1,"split":5,"joined":6,"response_us":null}})";
        QTest::newRow("response times")
            << QList<qint64>{1000, 2000, 3000, 90000}
            << "12 frames, 3 CRC errors, 4 requests, 4 replies, 2 unanswered, 1 exceptions, 5 "
               "split, 6 joined; response time min 1.000, median 2.000, p99 90.000, max 90.000 ms"
            << R"({"summary":{"frames":12,"crc_errors":3,"requests":4,"replies":4,"unanswered":2,"exceptions":1,"split":5,"joined":6,"response_us":{"min":1000,"median":2000,"p99":90000,"max":90000}}})";
    }
    void summaries()
    {
        QFETCH(QList<qint64>, times);
        MonitorSummary summary;
        summary.frames = 12;
        summary.crcErrors = 3;
        summary.split = 5;
        summary.joined = 6;
        summary.pairing = {4, quint64(times.size()), 2, 1};
        for (const qint64 us : times)
            summary.responseTimes.add(std::chrono::microseconds(us));
        QTEST(summaryText(summary), "text");
        QTEST(summaryJsonLine(summary), "json");
    }
};

QTEST_GUILESS_MAIN(TestMonitorOutput)
#include "tst_frame_record.moc"
