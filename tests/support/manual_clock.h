#pragma once

// A clock that stands still until a test moves it, and the engine's waits on it.
#include "platform/one_shot_timer.h"

#include <chrono>
#include <vector>

namespace tallowick::test {

class ManualClock;

class ManualTimer : public OneShotTimer
{
    Q_OBJECT
public:
    ManualTimer(ManualClock &clock, QObject *parent = nullptr);
    ~ManualTimer() override;

    void start(std::chrono::microseconds interval) override;
    void stop() override { m_armed = false; }
    bool isActive() const override { return m_armed; }
    std::chrono::microseconds due() const { return m_due; }
    // How often it was started, for the tests that care.
    int starts() const { return m_starts; }

private:
    friend class ManualClock;
    ManualClock &m_clock;
    bool m_armed = false;
    std::chrono::microseconds m_due{0};
    int m_starts = 0;
};

class ManualClock
{
public:
    std::chrono::microseconds now() const { return m_now; }
    ManualTimer *newTimer(QObject *parent = nullptr) { return new ManualTimer(*this, parent); }

    // Jumps to the earliest armed timer and fires it; false when none is armed.
    bool next() { return fireFirst(std::chrono::microseconds::max()); }
    // Moves on by `step`, firing on the way every timer that falls due, in order.
    void advance(std::chrono::microseconds step);
    // Fires timers until none is armed or `limit` timers have fired.
    int runOut(int limit = 1000);

private:
    friend class ManualTimer;
    // Fires the earliest armed timer if it is due by `until`.
    bool fireFirst(std::chrono::microseconds until);

    std::chrono::microseconds m_now{0};
    std::vector<ManualTimer *> m_timers;
};

} // namespace tallowick::test
