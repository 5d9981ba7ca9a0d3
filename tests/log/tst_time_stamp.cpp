// The records' ISO 8601 local time with microseconds and the UTC offset, in
// zones given by TZ. The expected texts were worked out with GNU date (e.g.
// TZ=IST-5:30 date -d @1700000000 --iso-8601=seconds).
#include "log/time_stamp.h"

#include <QTest>

#include <ctime>

using namespace tallowick;

class TestTimeStamp : public QObject
{
    Q_OBJECT
private slots:
    void cleanupTestCase()
    {
        qunsetenv("TZ");
        ::tzset();
    }

    // A process keeps its zone; the text of a second is worked out once, so
    // each row here is a second of its own.
    void isoLocalTime_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<qint64>("wallUs");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTC, the microseconds' leading zeros")
            << QByteArray("UTC0") << Q_INT64_C(1700000000000005)
            << "2023-11-14T22:13:20.000005+00:00";
        QTest::newRow("half an hour east") << QByteArray("IST-5:30") << Q_INT64_C(1700000001999999)
                                           << "2023-11-15T03:43:21.999999+05:30";
        QTest::newRow("west") << QByteArray("EST5") << Q_INT64_C(1700000002123456)
                              << "2023-11-14T17:13:22.123456-05:00";
        QTest::newRow("before the epoch")
            << QByteArray("UTC0") << Q_INT64_C(-1) << "1969-12-31T23:59:59.999999+00:00";
    }

    void isoLocalTime()
    {
        QFETCH(QByteArray, zone);
        QFETCH(qint64, wallUs);
        qputenv("TZ", zone);
        ::tzset();
        QTEST(tallowick::isoLocalTime(wallUs), "text");
    }
};

QTEST_APPLESS_MAIN(TestTimeStamp)
#include "tst_time_stamp.moc"
