#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tallowick {

// A kernel descriptor that tells of events by becoming readable (a timerfd, a
// signalfd), watched by the event loop: the program waits for it at no cost
// and learns of it in its own turn. Owns the descriptor.
class WatchedDescriptor
{
public:
    // A negative descriptor (it could not be had) is watched by nobody.
    WatchedDescriptor(int fd, std::function<void()> readable);
    ~WatchedDescriptor();
    WatchedDescriptor(const WatchedDescriptor &) = delete;
    WatchedDescriptor &operator=(const WatchedDescriptor &) = delete;

    int fd() const { return m_fd; }
    bool isValid() const { return m_fd >= 0; }

private:
    int m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tallowick
