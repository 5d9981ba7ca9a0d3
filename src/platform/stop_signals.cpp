#include "platform/stop_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tallowick {

namespace {

sigset_t stopSet()
{
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    return stops;
}

} // namespace

void StopSignals::block()
{
    const sigset_t stops = stopSet();
    ::sigprocmask(SIG_BLOCK, &stops, nullptr);
}

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    const sigset_t stops = stopSet();
    m_fd = ::signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_fd < 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(qintptr(m_fd), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::read);
}

StopSignals::~StopSignals()
{
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void StopSignals::read()
{
    signalfd_siginfo info{};
    while (::read(m_fd, &info, sizeof info) == ssize_t(sizeof info))
        emit received(int(info.ssi_signo));
}

} // namespace tallowick
