#include "support/scripted_line.h"

#include "support/pty_pair.h"

#include <ctime>
#include <pthread.h>
#include <sched.h>

namespace tallowick::test {

namespace {

using Clock = std::chrono::steady_clock;

void sleepUntil(Clock::time_point when)
{
    const auto since = when.time_since_epoch();
    timespec at{};
    at.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    at.tv_nsec = long((since - std::chrono::seconds(at.tv_sec)).count());
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
    }
}

} // namespace

ScriptedLine::ScriptedLine(PtyPair &pty, qint32 baudRate, QList<LineStep> steps)
    : m_pty(pty), m_characterTime(std::chrono::nanoseconds(10'000'000'000LL / baudRate)),
      m_steps(std::move(steps))
{
}

ScriptedLine::~ScriptedLine()
{
    wait();
}

void ScriptedLine::start()
{
    m_thread = std::thread([this] {
        // A UART keeps its pace whatever the machine does; where the test may
        // ask for real-time scheduling, the bus comes nearer to that.
        const sched_param realTime{sched_get_priority_min(SCHED_FIFO)};
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &realTime);
        Clock::time_point lastWrite = Clock::now();
        const auto waitFor = [&](std::chrono::nanoseconds length) {
            const Clock::time_point when = lastWrite + length;
            sleepUntil(when);
            lastWrite = Clock::now();
            m_latest = std::max(
                m_latest, std::chrono::duration_cast<std::chrono::microseconds>(lastWrite - when));
        };
        for (const LineStep &step : m_steps) {
            if (step.byteByByte) {
                for (qsizetype i = 0; i < step.bytes.size(); ++i) {
                    if (i == step.pauseBefore && step.pause.count() > 0)
                        waitFor(step.pause);
                    waitFor(m_characterTime);
                    m_pty.write(step.bytes.sliced(i, 1));
                }
            } else {
                waitFor(m_characterTime * step.bytes.size());
                m_pty.write(step.bytes);
            }
            waitFor(step.silenceAfter);
        }
    });
}

void ScriptedLine::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace tallowick::test
