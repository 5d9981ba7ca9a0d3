// Modbus TCP framing: the MBAP header written before each request and read
// back from the replies' byte stream.
#include "frames/mbap.h"

#include "frames/modbus_pdu.h"

#include <limits>
#include <utility>

namespace tallowick {

namespace {

void appendBigEndian16(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value >> 8));
    bytes.append(char(value & 0xFF));
}

} // namespace

QByteArray mbapAdu(quint16 transactionId, QByteArrayView pduWithUnit)
{
    if (pduWithUnit.size() > std::numeric_limits<quint16>::max())
        return {};
    QByteArray request;
    request.reserve(mbapLengthEnd + pduWithUnit.size());
    appendBigEndian16(request, transactionId);
    appendBigEndian16(request, 0);
    appendBigEndian16(request, quint16(pduWithUnit.size()));
    request.append(pduWithUnit);
    return request;
}

void MbapReader::feed(QByteArrayView bytes)
{
    m_buffer.append(bytes);
}

MbapRead MbapReader::take()
{
    if (m_buffer.size() < mbapLengthEnd)
        return MbapNeedMore{};
    const quint16 length = bigEndian16(m_buffer, 4);
    if (length < mbapLeastLength || length > mbapGreatestLength) {
        return MbapBadLength{length,
                             QStringLiteral("MBAP length %1, not from %2 to %3")
                                 .arg(length)
                                 .arg(mbapLeastLength)
                                 .arg(mbapGreatestLength),
                             std::exchange(m_buffer, {})};
    }
    const qsizetype size = mbapLengthEnd + length;
    if (m_buffer.size() < size)
        return MbapNeedMore{};
    MbapFrame frame;
    frame.transactionId = bigEndian16(m_buffer, 0);
    frame.protocol = bigEndian16(m_buffer, 2);
    frame.unit = quint8(m_buffer[mbapLengthEnd]);
    frame.unitAndPdu = m_buffer.sliced(mbapLengthEnd, length);
    frame.adu = m_buffer.first(size);
    m_buffer.remove(0, size);
    return frame;
}

MbapCheck checkMbapReply(const MbapFrame &frame, quint16 expectedTransactionId, quint8 expectedUnit)
{
    if (frame.protocol != 0)
        return {false, QStringLiteral("MBAP protocol %1, not 0").arg(frame.protocol)};
    if (frame.transactionId != expectedTransactionId) {
        return {false, QStringLiteral("MBAP transaction %1, expected %2")
                           .arg(frame.transactionId)
                           .arg(expectedTransactionId)};
    }
    if (frame.unit != expectedUnit)
        return {false,
                QStringLiteral("MBAP unit %1, expected %2").arg(frame.unit).arg(expectedUnit)};
    return {true, {}};
}

} // namespace tallowick
