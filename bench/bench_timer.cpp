// The microsecond timer that ends a serial reply, on its own: how late it
// wakes the event loop after its interval, against the scheduler's own
// lateness, and whether the loop stays asleep once it has fired.
#include "bench_scenarios.h"

#include "platform/precise_timer.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>

#include <ctime>
#include <optional>

namespace tallowick::bench {

namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

// t3.5 at 9600 baud: 3.5 characters of 11 bits.
constexpr microseconds interval(4010);

// The lateness in ms of a one-shot wait of `interval` on `timer`, counted
// from before its start to the delivery of its timeout; nothing if it never
// fired.
std::optional<double> eventLoopLateness(OneShotTimer &timer)
{
    qint64 firedAt = 0;
    QEventLoop loop;
    QObject::connect(&timer, &OneShotTimer::timeout, &loop, [&] {
        firedAt = monotonicNs();
        loop.quit();
    });
    // A timer that never fires must not hang the benchmark. Stopped with the
    // wait, so that no safety timer is left to wake the loop later.
    QTimer lost;
    lost.setSingleShot(true);
    QObject::connect(&lost, &QTimer::timeout, &loop, &QEventLoop::quit);
    lost.start(1s);
    const qint64 startedAt = monotonicNs();
    timer.start(interval);
    loop.exec();
    timer.stop();
    if (!firedAt)
        return std::nullopt;
    return double(firedAt - startedAt) / 1e6 - double(interval.count()) / 1e3;
}

// The same wait as a plain clock_nanosleep to an absolute deadline: how late
// this machine wakes a thread at all.
double sleepLateness()
{
    const qint64 deadline = monotonicNs() + duration_cast<nanoseconds>(interval).count();
    const timespec until{time_t(deadline / 1'000'000'000), long(deadline % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) != 0) {
    }
    return double(monotonicNs() - deadline) / 1e6;
}

// Wake-ups of the event loop a second while it waits `ms` for nothing.
double wakeUpsPerSecond(int ms)
{
    int wakeUps = 0;
    QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    const auto counting =
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [&wakeUps] { ++wakeUps; });
    const qint64 start = monotonicNs();
    runEventLoopFor(milliseconds(ms));
    const double seconds = double(monotonicNs() - start) / 1e9;
    QObject::disconnect(counting);
    return wakeUps / seconds;
}

} // namespace

std::vector<Row> preciseTimer(const Plan &plan)
{
    const QString ms = QStringLiteral("ms");
    std::vector<Row> rows;

    // The event loop's own wake-ups, before any timer of this scenario ran.
    const double idle = wakeUpsPerSecond(plan.timerIdleMs);

    PreciseTimer precise;
    // What it replaced: a QTimer counts whole milliseconds, 5 ms for 4.01.
    QTimer wholeMs;
    wholeMs.setSingleShot(true);
    wholeMs.setTimerType(Qt::PreciseTimer);
    QTimerWait whole(&wholeMs);
    // Side by side, so that a change of the machine's load touches all three.
    std::vector<double> preciseLate, sleepLate, wholeLate;
    for (int i = 0; i < plan.timerWaits; ++i) {
        sleepLate.push_back(sleepLateness());
        if (const auto late = eventLoopLateness(precise))
            preciseLate.push_back(*late);
        if (const auto late = eventLoopLateness(whole))
            wholeLate.push_back(*late);
    }
    const Stats program = statsOf(preciseLate);
    const Stats baseline = statsOf(sleepLate);
    const Stats qtimer = statsOf(wholeLate);
    const bool complete = program.count == plan.timerWaits;
    rows.push_back(
        {QStringLiteral("Precise timer: lateness of a one-shot wait of %1 ms (t3.5 at 9600 baud), "
                        "timeout delivered")
             .arg(double(interval.count()) / 1e3, 0, 'f', 2),
         formatStats(program, ms, 3),
         formatStats(baseline, ms, 3) + QStringLiteral(" (clock_nanosleep)"),
         baseline.median > 0 ? QString::number(program.median / baseline.median, 'f', 2)
                             : QStringLiteral("-"),
         QStringLiteral("never early, p99 within 1 ms"),
         complete && program.min >= 0 && program.p99 <= 1.0,
         QStringLiteral("p99 %1 ms (clock_nanosleep %2 ms); a QTimer in whole ms: median "
                        "+%3 ms; %4 waits")
                 .arg(program.p99, 0, 'f', 3)
                 .arg(baseline.p99, 0, 'f', 3)
                 .arg(qtimer.median, 0, 'f', 3)
                 .arg(program.count) +
             (complete ? QString()
                       : QStringLiteral(", %1 never fired").arg(plan.timerWaits - program.count))});

    // An expiration left on its descriptor would wake the loop again and again.
    const bool fired = eventLoopLateness(precise).has_value();
    const double after = wakeUpsPerSecond(plan.timerIdleMs);
    rows.push_back({QStringLiteral("Precise timer: event-loop wake-ups after it fired"),
                    QStringLiteral("%1 /s").arg(after, 0, 'f', 1),
                    QStringLiteral("%1 /s (no timer running)").arg(idle, 0, 'f', 1),
                    idle > 0 ? QString::number(after / idle, 'f', 2) : QStringLiteral("-"),
                    QStringLiteral("<= idle + 10 /s"), fired && after <= idle + 10,
                    QStringLiteral("%1 ms of waiting each").arg(plan.timerIdleMs) +
                        (fired ? QString() : QStringLiteral(", the timer never fired"))});
    return rows;
}

} // namespace tallowick::bench
