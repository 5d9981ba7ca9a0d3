#pragma once

#include "platform/one_shot_timer.h"
#include "platform/watched_descriptor.h"

#include <QTimer>

#include <chrono>

namespace tallowick {

// Microseconds on the monotonic clock, the clock of the precise timer.
qint64 monotonicNowUs();
// Microseconds since the epoch.
qint64 wallNowUs();

// A one-shot timer with microsecond resolution. QTimer counts whole
// milliseconds, which turns the 4.01 ms end-of-frame silence at 9600 baud into
// 5 ms; a timerfd on the monotonic clock, watched by the event loop, expires
// when asked to and costs nothing while it waits.
class PreciseTimer : public OneShotTimer
{
    Q_OBJECT
public:
    explicit PreciseTimer(QObject *parent = nullptr);
    ~PreciseTimer() override;

    void start(std::chrono::microseconds interval) override;
    void stop() override;
    bool isActive() const override;

private:
    void expired();

    bool m_armed = false;
    WatchedDescriptor m_descriptor;
    // Only used when no timerfd could be had (descriptors exhausted): late by
    // up to a millisecond is better than never ending the wait.
    QTimer m_fallback;
};

} // namespace tallowick
