#include "support/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace tallowick::test {

PtyPair::PtyPair()
{
    termios raw{};
    cfmakeraw(&raw);
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // A child process (the program under test) must not hold the master
    // open, or closing it here would not hang the line up.
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

void PtyPair::hangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PtyPair::write(const QByteArray &bytes)
{
    for (qsizetype done = 0; m_master >= 0 && done < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
        pollfd p{m_master, POLLOUT, 0};
        if (n > 0)
            done += n;
        else if (::poll(&p, 1, 1000) <= 0)
            return;
    }
}

QByteArray PtyPair::read(int timeoutMs, int quietMs)
{
    QByteArray result;
    char buffer[4096];
    for (pollfd p{m_master, POLLIN, 0}; m_master >= 0 && ::poll(&p, 1, timeoutMs) > 0;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.append(buffer, n);
        timeoutMs = quietMs;
    }
    return result;
}

} // namespace tallowick::test
