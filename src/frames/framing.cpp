#include "frames/framing.h"

#include "frames/modbus_pdu.h"

namespace tallowick {

QByteArray MbapFraming::request(QByteArrayView frame)
{
    m_transactionId = nextTransactionId(m_transactionId);
    m_unit = frame.isEmpty() ? 0 : quint8(frame.front());
    m_reader.clear();
    return mbapAdu(m_transactionId, frame);
}

std::optional<FramedReply> MbapFraming::take(QByteArrayView bytes)
{
    m_reader.feed(bytes);
    const MbapRead read = m_reader.take();
    if (std::holds_alternative<MbapNeedMore>(read))
        return std::nullopt;
    FramedReply reply;
    if (const auto *bad = std::get_if<MbapBadLength>(&read)) {
        reply.verdict = FramedReply::BadHeader;
        reply.reason = bad->reason;
        reply.bytes = bad->held;
        return reply;
    }
    const auto &frame = std::get<MbapFrame>(read);
    // What followed the frame in the same arrival stays with the reader: the
    // start of another.
    reply.bytes = frame.adu;
    reply.frame = frame.unitAndPdu;
    if (const MbapCheck check = checkMbapReply(frame, m_transactionId, m_unit); !check.ok) {
        reply.verdict = FramedReply::BadHeader;
        reply.reason = check.reason;
        return reply;
    }
    // The layouts count an RTU frame's CRC, which Modbus TCP leaves out.
    const QByteArray asRtu = frame.unitAndPdu + QByteArray(2, '\0');
    const FrameLength needed = rtuFrameLength(asRtu, PduRole::Reply);
    if (needed.status == FrameLength::NeedMore ||
        (needed.status == FrameLength::Known && needed.bytes > asRtu.size())) {
        reply.verdict = FramedReply::TooShort;
        reply.reason = QStringLiteral("its function needs more than the MBAP length of %1 leaves")
                           .arg(frame.unitAndPdu.size());
    }
    return reply;
}

std::optional<FramedReply> MbapFraming::end()
{
    if (m_reader.buffered() == 0)
        return std::nullopt;
    FramedReply reply;
    reply.verdict = FramedReply::TooShort;
    reply.bytes = m_reader.held();
    m_reader.clear();
    // The header's length counts the bytes after its own field.
    if (reply.bytes.size() >= mbapLengthEnd)
        reply.reason = QStringLiteral("its MBAP length is %1, and %2 bytes of it came")
                           .arg(bigEndian16(reply.bytes, 4))
                           .arg(reply.bytes.size() - mbapLengthEnd);
    else
        reply.reason = QStringLiteral("%1 bytes of its MBAP header came").arg(reply.bytes.size());
    return reply;
}

} // namespace tallowick
