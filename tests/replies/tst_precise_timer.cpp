// The microsecond one-shot timer that ends a serial reply: when it fires, that
// it fires once, and that stop and restart take effect. Lower bounds are
// exact (the monotonic clock never fires early); upper bounds are generous,
// as the machine is shared.
#include "engine/precise_timer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <ctime>
#include <sys/resource.h>

using namespace tallowick;
using namespace std::chrono;
using namespace std::chrono_literals;

namespace {
nanoseconds cpuTime()
{
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return seconds(now.tv_sec) + nanoseconds(now.tv_nsec);
}
} // namespace

class TestPreciseTimer : public QObject
{
    Q_OBJECT
private slots:
    void firesOnceAfterTheInterval_data();
    void firesOnceAfterTheInterval();
    void stopPreventsFiring();
    void restartArmsAgain();
    void secondStartReplacesTheInterval();
    void idleAfterFiring();
    void withoutDescriptorsStillFires();
};

void TestPreciseTimer::firesOnceAfterTheInterval_data()
{
    QTest::addColumn<qint64>("micros");
    QTest::newRow("t3.5 at 9600 baud") << qint64(4011);
    QTest::newRow("t3.5 floor") << qint64(1750);
    QTest::newRow("below a millisecond") << qint64(300);
    QTest::newRow("zero") << qint64(0); // a zero timerfd value would mean "disarmed"
}

void TestPreciseTimer::firesOnceAfterTheInterval()
{
    QFETCH(qint64, micros);
    PreciseTimer timer;
    QSignalSpy fired(&timer, &PreciseTimer::timeout);
    QElapsedTimer clock;
    clock.start();
    timer.start(microseconds(micros));
    QVERIFY(timer.isActive());
    QVERIFY(fired.wait(1000));
    const qint64 elapsedNs = clock.nsecsElapsed();
    QVERIFY2(elapsedNs >= micros * 1000, qPrintable(QString::number(elapsedNs)));
    QVERIFY(!timer.isActive());
    QTest::qWait(30);
    QCOMPARE(fired.count(), 1);
}

void TestPreciseTimer::stopPreventsFiring()
{
    PreciseTimer timer;
    QSignalSpy fired(&timer, &PreciseTimer::timeout);
    timer.start(2ms);
    timer.stop();
    QVERIFY(!timer.isActive());
    QVERIFY(!fired.wait(50));

    // Stopped after it expired but before the event loop delivered it.
    timer.start(1us);
    QTest::qSleep(5);
    timer.stop();
    QVERIFY(!fired.wait(50));
}

void TestPreciseTimer::restartArmsAgain()
{
    PreciseTimer timer;
    QSignalSpy fired(&timer, &PreciseTimer::timeout);
    for (int round = 1; round <= 3; ++round) {
        timer.start(1ms);
        QVERIFY(fired.wait(1000));
        QCOMPARE(fired.count(), round);
    }
}

void TestPreciseTimer::secondStartReplacesTheInterval()
{
    PreciseTimer timer;
    QSignalSpy fired(&timer, &PreciseTimer::timeout);
    QElapsedTimer clock;

    // A longer interval replaces a shorter one, even one already expired.
    timer.start(1ms);
    QTest::qSleep(5);
    clock.start();
    timer.start(100ms);
    QVERIFY(fired.wait(2000));
    QVERIFY2(clock.elapsed() >= 100, qPrintable(QString::number(clock.elapsed())));

    // A shorter one replaces a longer one.
    timer.start(10s);
    clock.start();
    timer.start(5ms);
    QVERIFY(fired.wait(2000));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QTest::qWait(30);
    QCOMPARE(fired.count(), 2);
}

void TestPreciseTimer::idleAfterFiring()
{
    // An expiration left on the descriptor would wake the event loop again
    // and again; a quiet wait must cost next to no processor time.
    PreciseTimer timer;
    QSignalSpy fired(&timer, &PreciseTimer::timeout);
    timer.start(1ms);
    QVERIFY(fired.wait(1000));
    const nanoseconds before = cpuTime();
    QVERIFY(!fired.wait(300));
    const auto spent = duration_cast<milliseconds>(cpuTime() - before);
    QVERIFY2(spent < 50ms, qPrintable(QString::number(spent.count())));
}

void TestPreciseTimer::withoutDescriptorsStillFires()
{
    // No descriptor to be had: the timer falls back to whole milliseconds.
    rlimit limit{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit none = limit;
    none.rlim_cur = 0;
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &none), 0);
    PreciseTimer timer;
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);

    QSignalSpy fired(&timer, &PreciseTimer::timeout);
    QElapsedTimer clock;
    clock.start();
    timer.start(1500us);
    QVERIFY(timer.isActive());
    QVERIFY(fired.wait(1000));
    QVERIFY(clock.elapsed() >= 1);
    timer.start(1ms);
    timer.stop();
    QVERIFY(!fired.wait(50));
    QCOMPARE(fired.count(), 1);
}

QTEST_GUILESS_MAIN(TestPreciseTimer)
#include "tst_precise_timer.moc"
