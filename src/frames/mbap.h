#pragma once

// Modbus TCP framing for --mbap. A TCP reply has no CRC and may arrive in any
// pieces; only its MBAP header says where it ends, so the reader must trust
// that header exactly as far as the protocol allows: a length no Modbus frame
// can have is refused at once, never waited for.
//
// The header, big-endian: transaction id (2 bytes), protocol id (2, always 0),
// length (2: the bytes that follow it, unit id included), unit id (1).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <variant>

namespace tallowick {

inline constexpr qsizetype mbapHeaderSize = 7;     // up to and including the unit id
inline constexpr qsizetype mbapLengthEnd = 6;      // the bytes before the counted ones
inline constexpr quint16 mbapLeastLength = 2;      // unit id and function code
inline constexpr quint16 mbapGreatestLength = 254; // a Modbus TCP ADU is at most 260 bytes

// A frame for a line or a reply: the header (protocol 0), then the bytes
// (unit id first), without a CRC. The length field holds 16 bits: a line of more than 65535
// bytes gives an empty array, nothing to send. Short or long lines are sent
// as they are, since testing a device includes sending it what it must refuse.
QByteArray mbapAdu(quint16 transactionId, QByteArrayView pduWithUnit);

// The transaction id after this one. Ids count from 1 and, after 65535, from 1
// again: a soak of a million exchanges wraps them, and 0 stays the id no
// request of a run ever had.
constexpr quint16 nextTransactionId(quint16 id)
{
    return id == 0xFFFF ? 1 : quint16(id + 1);
}

// One whole frame as its header framed it.
struct MbapFrame
{
    quint16 transactionId = 0;
    quint16 protocol = 0;
    quint8 unit = 0;
    QByteArray unitAndPdu; // what follows the length field: the reply without CRC
    QByteArray adu;        // the whole frame as it came, header and all
};

// A header whose length no Modbus frame can have: the stream cannot be framed.
struct MbapBadLength
{
    quint16 length = 0;
    QString reason;
    QByteArray held; // the bytes dropped with it, as they came
};

struct MbapNeedMore
{
};

using MbapRead = std::variant<MbapNeedMore, MbapFrame, MbapBadLength>;

// Gathers the bytes of a TCP link as they arrive and cuts them into frames.
// Bytes beyond a frame stay buffered for the next take(): a late reply to an
// earlier request, or a peer that sends two, is then seen as the frame it is
// (and its transaction id tells it apart). Call take() after each feed() until
// it needs more. After a bad length the reader cannot know where any later
// frame begins: it drops what it holds, and the link had better be closed.
class MbapReader
{
public:
    void feed(QByteArrayView bytes);
    MbapRead take();
    // Bytes held that do not yet make a frame (a reply cut short when the link
    // ends, for instance).
    qsizetype buffered() const { return m_buffer.size(); }
    const QByteArray &held() const { return m_buffer; }
    void clear() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
};

// Whether a frame answers the request it was read for: protocol 0, the
// request's transaction id and unit id. reason is empty when it does.
struct MbapCheck
{
    bool ok = false;
    QString reason;
};

MbapCheck checkMbapReply(const MbapFrame &frame, quint16 expectedTransactionId,
                         quint8 expectedUnit);

} // namespace tallowick
