#include "device/request_stream.h"

#include "frames/modbus_pdu.h"

namespace tallowick {

std::optional<QByteArray> RtuRequestStream::take()
{
    if (m_buffer.isEmpty())
        return std::nullopt;
    const FrameLength length = rtuFrameLength(m_buffer, PduRole::Request);
    if (length.status == FrameLength::NeedMore ||
        (length.status == FrameLength::Known && length.bytes > m_buffer.size()))
        return std::nullopt;
    const qsizetype take = length.status == FrameLength::Known ? length.bytes : m_buffer.size();
    QByteArray request = m_buffer.left(take);
    m_buffer.remove(0, take);
    return request;
}

} // namespace tallowick
