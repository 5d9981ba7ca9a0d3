// The microsecond one-shot timer that ends a serial reply: it never fires
// before its interval, fires once, and stop and restart take effect. How late
// it fires is the benchmark's business ("Precise timer" rows). What must not
// happen is shown by the order of expiry: a QTimer started after it, due
// later, is delivered after anything the timer could still deliver.
#include "platform/precise_timer.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <set>
#include <thread>

#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace tallowick;
using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

// The timerfds this process holds, by their link in /proc.
std::set<int> timerDescriptors()
{
    std::set<int> found;
    const QString folder = QStringLiteral("/proc/self/fd");
    for (const QString &name : QDir(folder).entryList(QDir::AllEntries | QDir::System |
                                                      QDir::Hidden | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const QByteArray path = (folder + u'/' + name).toLocal8Bit();
        if (::readlink(path.constData(), target, sizeof target - 1) > 0 &&
            qstrcmp(target, "anon_inode:[timerfd]") == 0)
            found.insert(name.toInt());
    }
    return found;
}

// The one timerfd that appeared since `before`, or -1.
int newTimerDescriptor(const std::set<int> &before)
{
    int added = -1;
    for (int fd : timerDescriptors()) {
        if (!before.count(fd)) {
            if (added >= 0)
                return -1;
            added = fd;
        }
    }
    return added;
}

// Whether an expiration waits on the descriptor, waiting up to `timeoutMs`
// for one. It blocks the event loop meanwhile, so nothing is delivered.
bool expirationWaiting(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) == 1;
}

// Runs the event loop until a QTimer started now, due after `interval`,
// fires: a timeout due earlier has been delivered by then.
bool runPast(microseconds interval)
{
    QTimer later;
    later.setSingleShot(true);
    later.setTimerType(Qt::PreciseTimer);
    QSignalSpy fired(&later, &QTimer::timeout);
    later.start(ceil<milliseconds>(interval) + 1ms);
    return fired.wait(10000);
}

} // namespace

class TestPreciseTimer : public QObject
{
    Q_OBJECT
private slots:
    void neverFiresEarly_data()
    {
        QTest::addColumn<qint64>("micros");
        QTest::addColumn<bool>("fallback"); // no descriptor to be had: whole milliseconds
        QTest::newRow("t3.5 floor") << qint64(1750) << false;
        QTest::newRow("below a millisecond") << qint64(300) << false;
        QTest::newRow("zero") << qint64(0) << false; // a zero timerfd value would disarm it
        QTest::newRow("fallback, 1.5 ms") << qint64(1500) << true;
    }

    void neverFiresEarly()
    {
        QFETCH(qint64, micros);
        QFETCH(bool, fallback);
        const microseconds interval(micros);
        rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &limit), 0);
        rlimit none = limit;
        none.rlim_cur = fallback ? 0 : limit.rlim_cur;
        const std::set<int> before = timerDescriptors();
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &none), 0);
        PreciseTimer timer;
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &limit), 0);
        const int fd = newTimerDescriptor(before);
        QCOMPARE(fd >= 0, !fallback);

        QSignalSpy fired(&timer, &PreciseTimer::timeout);
        // Started for 1 us, and due once this returns, not yet delivered.
        const auto startDue = [&] {
            timer.start(1us);
            if (fd >= 0)
                return expirationWaiting(fd, 10000);
            // The fallback's QTimer has no descriptor to watch: its whole
            // millisecond has passed once this returns.
            std::this_thread::sleep_until(steady_clock::now() + 1ms);
            return true;
        };
        // A start replaces an earlier one, even one already due.
        QVERIFY(startDue());
        const auto started = steady_clock::now();
        timer.start(interval);
        QVERIFY(timer.isActive());
        QVERIFY(fired.wait(10000));
        // A lower bound only: no load on the machine can make it fail.
        QVERIFY(steady_clock::now() - started >= interval);
        QVERIFY(!timer.isActive());
        QCOMPARE(fired.size(), 1);
        // Once: nothing follows, not even after another interval. An expiration
        // left on the descriptor would wake the event loop again and again.
        QVERIFY(fd < 0 || !expirationWaiting(fd, 0));
        QVERIFY(runPast(interval));
        QVERIFY(fd < 0 || !expirationWaiting(fd, 0));
        QCOMPARE(fired.size(), 1);
        // So does a stop.
        QVERIFY(startDue());
        timer.stop();
        QVERIFY(!timer.isActive());
        QVERIFY(runPast(1ms));
        QCOMPARE(fired.size(), 1);
    }

    void stopAndRestart()
    {
        PreciseTimer timer;
        QSignalSpy fired(&timer, &PreciseTimer::timeout);
        // A longer interval replaces a shorter one.
        timer.start(1ms);
        timer.start(1h);
        QVERIFY(runPast(1ms));
        QCOMPARE(fired.size(), 0);
        QVERIFY(timer.isActive());
        // A shorter interval replaces a longer one.
        timer.start(1ms);
        QVERIFY(fired.wait(10000));
        for (int round = 2; round <= 3; ++round) {
            timer.start(1ms);
            QVERIFY(fired.wait(10000));
            QCOMPARE(fired.size(), round);
        }
    }
};

QTEST_GUILESS_MAIN(TestPreciseTimer)
#include "tst_precise_timer.moc"
