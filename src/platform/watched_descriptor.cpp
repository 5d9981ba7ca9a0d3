#include "platform/watched_descriptor.h"

#include <QSocketNotifier>

#include <unistd.h>

namespace tallowick {

WatchedDescriptor::WatchedDescriptor(int fd, std::function<void()> readable) : m_fd(fd)
{
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(qintptr(m_fd), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                     [readable = std::move(readable)] { readable(); });
}

WatchedDescriptor::~WatchedDescriptor()
{
    // The event loop must forget the descriptor before it is closed and
    // perhaps reused.
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace tallowick
