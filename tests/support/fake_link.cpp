#include "support/fake_link.h"

#include <utility>

namespace tallowick::test {

LinkError FakeLink::open(const LinkTarget &target)
{
    opened << target;
    if (m_kind == Serial) {
        if (openResult == LinkError::None)
            m_state = Connected;
        return openResult;
    }
    m_pending.clear();
    m_state = Connecting;
    return LinkError::None;
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

void FakeLink::peerCloses()
{
    m_state = Closed;
    emit failed(QStringLiteral("closed"));
}

void FakeLink::peerResets()
{
    m_state = Error;
    emit failed(QStringLiteral("reset"));
}

void FakeLink::deviceGone()
{
    m_state = Closed;
    m_pending.clear();
    emit failed(QStringLiteral("gone"));
}

} // namespace tallowick::test
