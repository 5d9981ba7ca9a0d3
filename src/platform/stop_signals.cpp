#include "platform/stop_signals.h"

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace tallowick {

namespace {

const sigset_t &stopSet()
{
    static const sigset_t stops = [] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        return set;
    }();
    return stops;
}

} // namespace

void StopSignals::block()
{
    ::sigprocmask(SIG_BLOCK, &stopSet(), nullptr);
}

StopSignals::StopSignals(QObject *parent)
    : QObject(parent),
      m_descriptor(::signalfd(-1, &stopSet(), SFD_NONBLOCK | SFD_CLOEXEC), [this] { read(); })
{
}

StopSignals::~StopSignals() = default;

void StopSignals::read()
{
    signalfd_siginfo info{};
    while (::read(m_descriptor.fd(), &info, sizeof info) == ssize_t(sizeof info))
        emit received(int(info.ssi_signo));
}

} // namespace tallowick

#include "moc_stop_signals.cpp"
