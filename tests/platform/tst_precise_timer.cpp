// The microsecond one-shot timer that ends a serial reply: it never fires
// before its interval, fires once, and stop and restart take effect. How late
// it fires is the benchmark's business; the waits here are only bounded.
#include "platform/precise_timer.h"

#include <QAbstractEventDispatcher>
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <sys/resource.h>

using namespace tallowick;
using namespace std::chrono;
using namespace std::chrono_literals;

class TestPreciseTimer : public QObject
{
    Q_OBJECT
private slots:
    void neverFiresEarly_data()
    {
        QTest::addColumn<qint64>("micros");
        QTest::addColumn<bool>("fallback"); // no descriptor to be had: whole milliseconds
        QTest::newRow("t3.5 at 9600 baud") << qint64(4011) << false;
        QTest::newRow("t3.5 floor") << qint64(1750) << false;
        QTest::newRow("below a millisecond") << qint64(300) << false;
        QTest::newRow("zero") << qint64(0) << false; // a zero timerfd value would disarm it
        QTest::newRow("100 ms") << qint64(100000) << false;
        QTest::newRow("fallback, 1.5 ms") << qint64(1500) << true;
    }

    void neverFiresEarly()
    {
        QFETCH(qint64, micros);
        QFETCH(bool, fallback);
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        rlimit none = limit;
        none.rlim_cur = fallback ? 0 : limit.rlim_cur;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &none), 0);
        PreciseTimer timer;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);

        QSignalSpy fired(&timer, &PreciseTimer::timeout);
        // A start replaces an earlier one, even one already due.
        timer.start(1us);
        QTest::qSleep(2);
        const auto started = steady_clock::now();
        timer.start(microseconds(micros));
        QVERIFY(timer.isActive());
        QVERIFY(fired.wait(10000));
        QVERIFY(steady_clock::now() - started >= microseconds(micros));
        QVERIFY(!timer.isActive());
        QVERIFY(!fired.wait(50));
        QCOMPARE(fired.size(), 1);
        timer.start(1ms);
        timer.stop();
        QVERIFY(!timer.isActive());
        QVERIFY(!fired.wait(50));
    }

    void stopAndRestart()
    {
        PreciseTimer timer;
        QSignalSpy fired(&timer, &PreciseTimer::timeout);
        // Stopped after it expired but before the event loop delivered it.
        timer.start(1us);
        QTest::qSleep(5);
        timer.stop();
        QVERIFY(!fired.wait(50));
        // A shorter interval replaces a longer one.
        timer.start(1h);
        timer.start(1ms);
        QVERIFY(fired.wait(10000));
        for (int round = 2; round <= 3; ++round) {
            timer.start(1ms);
            QVERIFY(fired.wait(10000));
            QCOMPARE(fired.size(), round);
        }
    }

    // An expiration left on the descriptor would wake the event loop again and
    // again; once the timer fired, the loop sleeps.
    void idleAfterFiring()
    {
        PreciseTimer timer;
        QSignalSpy fired(&timer, &PreciseTimer::timeout);
        timer.start(1ms);
        QVERIFY(fired.wait(10000));
        int wakeUps = 0;
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, this,
                [&] { ++wakeUps; });
        QVERIFY(!fired.wait(200));
        QVERIFY2(wakeUps < 50, qPrintable(QString::number(wakeUps)));
    }
};

QTEST_GUILESS_MAIN(TestPreciseTimer)
#include "tst_precise_timer.moc"
