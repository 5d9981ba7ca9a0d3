#include "run/mbap_link.h"

#include "frames/crc.h"

#include <utility>

namespace tallowick {

MbapLink::MbapLink(Link &tcp, QObject *parent) : Link(parent), m_tcp(tcp)
{
    connect(&m_tcp, &Link::connected, this, &Link::connected);
    connect(&m_tcp, &Link::failed, this, [this](const QString &reason) {
        if (m_reader.buffered() > 0)
            m_verdict = Verdict::CutShort;
        m_reader.clear();
        emit failed(reason);
    });
    connect(&m_tcp, &Link::dataArrived, this, &MbapLink::takeBytes);
}

LinkError MbapLink::open(const LinkTarget &target)
{
    m_reader.clear();
    return m_tcp.open(target);
}

bool MbapLink::write(const QByteArray &frame)
{
    m_transactionId = nextTransactionId(m_transactionId);
    m_unit = frame.isEmpty() ? 0 : quint8(frame.front());
    m_verdict = Verdict::None;
    m_reply.clear();
    const QByteArray request = mbapRequest(m_transactionId, frame);
    return !request.isEmpty() && m_tcp.write(request);
}

void MbapLink::takeBytes()
{
    m_reader.feed(m_tcp.readAll());
    const MbapRead read = m_reader.take();
    if (std::holds_alternative<MbapNeedMore>(read))
        return;
    if (const auto *bad = std::get_if<MbapBadLength>(&read)) {
        m_verdict = Verdict::BadHeader;
        m_reason = bad->reason;
        // Something must end the exchange: the engine sees a reply too short.
        m_reply = QByteArray(1, char(m_unit));
    } else {
        const auto &frame = std::get<MbapFrame>(read);
        const MbapCheck check = checkMbapReply(frame, m_transactionId, m_unit);
        m_verdict = check.ok ? Verdict::Answered : Verdict::BadHeader;
        m_reason = check.reason;
        // CRC16 leaves out the two bytes it is to fill.
        m_reply = frame.unitAndPdu + QByteArray(2, '\0');
        const quint16 crc = CRC16(m_reply);
        m_reply[m_reply.size() - 2] = char(crc & 0xFF);
        m_reply[m_reply.size() - 1] = char(crc >> 8);
    }
    emit dataArrived();
}

QByteArray MbapLink::readAll()
{
    return std::exchange(m_reply, {});
}

void MbapLink::close()
{
    if (m_reader.buffered() > 0 && m_verdict == Verdict::None)
        m_verdict = Verdict::CutShort;
    m_reader.clear();
    m_tcp.close();
}

MbapLink::Verdict MbapLink::takeVerdict()
{
    return std::exchange(m_verdict, Verdict::None);
}

} // namespace tallowick

#include "moc_mbap_link.cpp"
