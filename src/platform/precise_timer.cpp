#include "platform/precise_timer.h"

#include <algorithm>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

namespace tallowick {

namespace {

qint64 clockUs(clockid_t clock)
{
    timespec now{};
    ::clock_gettime(clock, &now);
    return qint64(now.tv_sec) * 1'000'000 + now.tv_nsec / 1000;
}

} // namespace

qint64 monotonicNowUs()
{
    return clockUs(CLOCK_MONOTONIC);
}

qint64 wallNowUs()
{
    return clockUs(CLOCK_REALTIME);
}

PreciseTimer::PreciseTimer(QObject *parent)
    : OneShotTimer(parent),
      m_descriptor(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC),
                   [this] { expired(); })
{
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &PreciseTimer::timeout);
}

PreciseTimer::~PreciseTimer() = default;

void PreciseTimer::start(std::chrono::microseconds interval)
{
    using namespace std::chrono;
    stop();
    if (m_descriptor.isValid()) {
        // An all-zero value would disarm the timer instead of firing it at once.
        const nanoseconds due = std::max<nanoseconds>(interval, 1ns);
        const auto whole = duration_cast<seconds>(due);
        itimerspec expiry{};
        expiry.it_value.tv_sec = time_t(whole.count());
        expiry.it_value.tv_nsec = long((due - whole).count());
        m_armed = ::timerfd_settime(m_descriptor.fd(), 0, &expiry, nullptr) == 0;
        if (m_armed)
            return;
    }
    m_fallback.start(ceil<milliseconds>(std::max(interval, microseconds::zero())));
}

void PreciseTimer::stop()
{
    m_fallback.stop();
    if (!m_armed)
        return;
    m_armed = false;
    // Disarming also drops an expiration that the event loop has seen but not
    // yet delivered: its read below then finds nothing.
    const itimerspec disarm{};
    ::timerfd_settime(m_descriptor.fd(), 0, &disarm, nullptr);
}

bool PreciseTimer::isActive() const
{
    return m_armed || m_fallback.isActive();
}

void PreciseTimer::expired()
{
    // Reading takes the expiration off the descriptor, so the event loop does
    // not keep waking up for it.
    quint64 expirations = 0;
    if (::read(m_descriptor.fd(), &expirations, sizeof expirations) !=
            ssize_t(sizeof expirations) ||
        expirations == 0 || !m_armed)
        return;
    m_armed = false;
    emit timeout();
}

} // namespace tallowick

#include "moc_precise_timer.cpp"
