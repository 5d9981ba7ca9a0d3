#include "support/fake_link.h"

#include <utility>

namespace tallowick::test {

LinkError FakeLink::open(const LinkTarget &target)
{
    opened << target;
    m_pending.clear();
    if (m_kind == Tcp)
        m_state = Connecting;
    else if (openResult == LinkError::None)
        m_state = Connected;
    return m_kind == Tcp ? LinkError::None : openResult;
}

bool FakeLink::write(const QByteArray &frame)
{
    if (m_state != Connected || refuseWrites)
        return false;
    written << frame;
    return true;
}

QByteArray FakeLink::readAll()
{
    return std::exchange(m_pending, {});
}

void FakeLink::close()
{
    m_state = Closed;
    m_pending.clear();
}

void FakeLink::acceptConnection()
{
    m_state = Connected;
    emit connected();
}

void FakeLink::arrive(const QByteArray &bytes)
{
    m_pending += bytes;
    emit dataArrived();
}

void FakeLink::deviceGone()
{
    close();
    emit failed(QStringLiteral("gone"));
}

} // namespace tallowick::test
