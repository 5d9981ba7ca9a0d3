#include "support/manual_clock.h"

#include <algorithm>

namespace tallowick::test {

ManualTimer::ManualTimer(ManualClock &clock, QObject *parent) : OneShotTimer(parent), m_clock(clock)
{
    m_clock.m_timers.push_back(this);
}

ManualTimer::~ManualTimer()
{
    std::erase(m_clock.m_timers, this);
}

void ManualTimer::start(std::chrono::microseconds interval)
{
    m_armed = true;
    m_due = m_clock.now() + std::max(interval, std::chrono::microseconds(0));
    ++m_starts;
}

bool ManualClock::fireFirst(std::chrono::microseconds until)
{
    ManualTimer *first = nullptr;
    for (ManualTimer *timer : m_timers) {
        if (timer->m_armed && timer->m_due <= until && (!first || timer->m_due < first->m_due))
            first = timer;
    }
    if (!first)
        return false;
    m_now = std::max(m_now, first->m_due);
    first->m_armed = false;
    emit first->timeout();
    return true;
}

void ManualClock::advance(std::chrono::microseconds step)
{
    const std::chrono::microseconds end = m_now + step;
    while (fireFirst(end)) {
    }
    m_now = end;
}

int ManualClock::runOut(int limit)
{
    int fired = 0;
    while (fired < limit && next())
        ++fired;
    return fired;
}

} // namespace tallowick::test
