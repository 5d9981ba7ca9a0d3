// The timing of a line from its settings: one character (start, data, parity
// and stop bits), t1.5 and t3.5, rounded up to the microsecond, and the fixed
// 0.75 ms and 1.75 ms above 19200 baud. Worked out by hand from the bits of
// each setting (9600,n,8,1: 10 bits, 1041.667 us a character).
#include "links/line_timing.h"

#include <QTest>

using namespace tallowick;

class TestLineTiming : public QObject
{
    Q_OBJECT

private slots:
    void timing_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<qint64>("characterNs");
        QTest::addColumn<qint64>("t15Us");
        QTest::addColumn<qint64>("t35Us");
        const auto row = [](const char *settings, qint64 character, qint64 t15, qint64 t35) {
            QTest::newRow(settings) << QString::fromLatin1(settings) << character << t15 << t35;
        };
        row("9600,n,8,1", 1041666, 1563, 3646);
        row("9600,e,8,1", 1145833, 1719, 4011);
        row("19200,e,8,1", 572916, 860, 2006);
        row("2400,o,7,2", 4583333, 6875, 16042);
        row("1200,n,8,1.5", 8750000, 13125, 30625);
        row("19201,n,8,1", 520806, 750, 1750);
        row("115200,e,8,1", 95486, 750, 1750);
    }
    void timing()
    {
        QFETCH(QString, settings);
        const auto line = parseLineSettings(settings);
        QVERIFY(line);
        const LineTiming timing = lineTiming(*line);
        QTEST(qint64(timing.character.count()), "characterNs");
        QTEST(qint64(timing.t15.count()), "t15Us");
        QTEST(qint64(timing.t35.count()), "t35Us");
    }

    // A listener's own t3.5 (the monitor's --gap) keeps the character.
    void chosenGap()
    {
        const LineTiming timing = lineTiming(LineSettings{}, std::chrono::microseconds(7000));
        QCOMPARE(qint64(timing.character.count()), qint64(1041666));
        QCOMPARE(qint64(timing.t15.count()), qint64(3000));
        QCOMPARE(qint64(timing.frameEnd().count()), qint64(8041666));
    }
};

QTEST_GUILESS_MAIN(TestLineTiming)
#include "tst_line_timing.moc"
