#pragma once

// The one description of a Modbus PDU on an RTU line: for each function code
// its name, how long its request and its reply are as their own bytes tell,
// and whether a reply answers a given request. Lengths are of the whole RTU
// frame: address, PDU and CRC.

#include <QByteArrayView>
#include <QString>

namespace tallowick {

enum class PduRole { Request, Reply };

// What the first bytes of a frame say about its length.
struct FrameLength
{
    enum Status {
        Known,    // bytes: the whole frame's length
        NeedMore, // the length is in a byte not yet there
        NoLayout, // a function code (or, for a request, an exception) without one
    };
    Status status = NoLayout;
    qsizetype bytes = 0;
};

FrameLength rtuFrameLength(QByteArrayView frame, PduRole role);

// Whether the frame is exactly as long as its layout in that role says.
bool hasLayoutLength(QByteArrayView frame, PduRole role);
// As a request or as a reply.
bool lengthFitsFunction(QByteArrayView frame);

// Whether the reply answers the request: the same address, the function or
// its exception, at the length its layout says, and what the request asked
// for: a read's byte count for its quantity (2 x count for registers,
// ceil(count / 8) for bits), a write's echo of its address and value or
// quantity. CRCs are not looked at.
bool replyFits(QByteArrayView request, QByteArrayView reply);

// The 16-bit value at a frame's offset, high byte first, as Modbus sends it.
inline quint16 bigEndian16(QByteArrayView bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) << 8 | quint8(bytes[at + 1]));
}

// "read holding registers" and the like; empty for a code without a name.
QString functionName(quint8 function);
// "illegal data address" and the like; empty for a code without a name.
QString exceptionName(quint8 code);

} // namespace tallowick
