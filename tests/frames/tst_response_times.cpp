// The response-time histogram of the summaries: percentiles by nearest rank
// against values worked out apart from the code, its error bound, and that its
// memory stays the same however long a run goes; and milliseconds as text.
#include "frames/response_times.h"

#include <QTest>
#include <algorithm>
#include <limits>

using namespace tallowick;
using std::chrono::microseconds;

namespace {

// The times of the long run; the golden values below came from the same
// recurrence in Python: x = x * 6364136223846793005 +
// 1442695040888963407 (mod 2^64) from x = 12345; e = (x >> 58) % 24; the time is
// 2^e plus the low e bits of x >> 16: from 1 us to under 16.8 s, roughly
// evenly over the powers of two.
class Times
{
public:
    qint64 next()
    {
        m_x = m_x * 6364136223846793005ULL + 1442695040888963407ULL;
        const int e = int((m_x >> 58) % 24);
        return qint64((quint64(1) << e) | ((m_x >> 16) & ((quint64(1) << e) - 1)));
    }

private:
    quint64 m_x = 12345;
};

} // namespace

class TestResponseTimes : public QObject
{
    Q_OBJECT
private slots:
    void millis3_data()
    {
        QTest::addColumn<qint64>("us");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << qint64(0) << "0.000";
        QTest::newRow("one us") << qint64(1) << "0.001";
        QTest::newRow("negative us") << qint64(-1) << "-0.001";
        QTest::newRow("least") << std::numeric_limits<qint64>::min() << "-9223372036854775.808";
    }

    void millis3()
    {
        QFETCH(qint64, us);
        QTEST(tallowick::millis3(us), "text");
    }

    // Times below 2048 us are exact: the percentiles by nearest rank, worked
    // out by hand (and in Python for the longer lists).
    void exactTimes_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QList<qint64>>("expected"); // min, p1, median, p99, max
        const auto range = [](qint64 first, qint64 last) {
            QList<qint64> times;
            for (qint64 t = last; t >= first; --t) // given largest first
                times << t;
            return times;
        };
        QTest::newRow("none") << QList<qint64>{} << QList<qint64>{0, 0, 0, 0, 0};
        QTest::newRow("one") << QList<qint64>{5} << QList<qint64>{5, 5, 5, 5, 5};
        QTest::newRow("four: lower middle")
            << QList<qint64>{4, 1, 3, 2} << QList<qint64>{1, 1, 2, 4, 4};
        QTest::newRow("1 to 200") << range(1, 200) << QList<qint64>{1, 2, 100, 198, 200};
        QTest::newRow("zeros") << QList<qint64>{0, 2047, 0} << QList<qint64>{0, 0, 0, 2047, 2047};
        QTest::newRow("repeats") << QList<qint64>{7, 7, 7, 1000, 1, 1, 2}
                                 << QList<qint64>{1, 1, 7, 1000, 1000};
        QTest::newRow("negative taken as 0")
            << QList<qint64>{-5, 10} << QList<qint64>{0, 0, 0, 10, 10};
    }

    void exactTimes()
    {
        QFETCH(QList<qint64>, times);
        ResponseTimes histogram;
        for (qint64 t : times)
            histogram.add(microseconds(t));
        const QList<qint64> got{histogram.min().count(), histogram.percentile(1).count(),
                                histogram.median().count(), histogram.percentile(99).count(),
                                histogram.max().count()};
        QTEST(got, "expected");
        QCOMPARE(histogram.count(), quint64(times.size()));
        QCOMPARE(histogram.percentile(100), histogram.max());
    }

    // Above 2048 us a time reads back as the middle of its bucket, never
    // outside the times that were added.
    void buckets_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<qint64>("median");
        QTest::newRow("width 2") << QList<qint64>{2048, 2049, 5000} << qint64(2049);
        QTest::newRow("middle clamped to the least") << QList<qint64>{4099} << qint64(4099);
        QTest::newRow("middle clamped to the greatest") << QList<qint64>{4096} << qint64(4096);
        QTest::newRow("width 64") << QList<qint64>{1, 65659, 65659, 70000} << qint64(65632);
        QTest::newRow("10 s") << QList<qint64>{1, 10'000'000, 10'000'000} << qint64(9'998'336);
        // From 2^41 us on, all share the last bucket.
        QTest::newRow("beyond the last block")
            << QList<qint64>{1, 2199023255629, std::numeric_limits<qint64>::max()}
            << qint64(2198486384640);
    }

    void buckets()
    {
        QFETCH(QList<qint64>, times);
        ResponseTimes histogram;
        for (qint64 t : times)
            histogram.add(microseconds(t));
        QTEST(qint64(histogram.median().count()), "median");
        QCOMPARE(qint64(histogram.max().count()), *std::max_element(times.begin(), times.end()));
    }

    // A million exchanges take no more memory than the first ten thousand, and
    // never more than the 128 KiB every bucket together would take; the
    // percentiles stay within the histogram's error bound.
    void boundedMemory()
    {
        ResponseTimes histogram;
        Times times;
        for (int i = 0; i < 10'000; ++i)
            histogram.add(microseconds(times.next()));
        const std::size_t early = histogram.footprintBytes();
        QVERIFY(early > 0);
        for (int i = 10'000; i < 1'000'000; ++i)
            histogram.add(microseconds(times.next()));
        QCOMPARE(histogram.footprintBytes(), early);
        // Python, on the same million, by nearest rank: below 2048 us exact,
        // above within 1/2048, the greatest time exact.
        QCOMPARE(histogram.count(), quint64(1'000'000));
        QCOMPARE(histogram.min().count(), 1);
        QCOMPARE(histogram.percentile(25).count(), 42);
        QCOMPARE(histogram.median().count(), 1692);
        QVERIFY(qAbs(histogram.percentile(75).count() - 65721) <= 65721 / 2048);
        QVERIFY(qAbs(histogram.percentile(99).count() - 14110817) <= 14110817 / 2048);
        QCOMPARE(histogram.max().count(), 16776707);

        // Every power of two, up to the greatest time there is.
        for (int e = 0; e < 63; ++e)
            histogram.add(microseconds(qint64(1) << e));
        histogram.add(microseconds(std::numeric_limits<qint64>::max()));
        QCOMPARE(histogram.footprintBytes(), std::size_t(128 * 1024));
        QCOMPARE(histogram.max().count(), std::numeric_limits<qint64>::max());
    }
};

QTEST_GUILESS_MAIN(TestResponseTimes)
#include "tst_response_times.moc"
