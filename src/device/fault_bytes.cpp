#include "device/fault_bytes.h"

#include "device/answers.h"
#include "frames/crc.h"
#include "frames/modbus_pdu.h"

namespace tallowick {

namespace {

// Another unit than the one asked, never 0 (a broadcast, which nobody answers).
quint8 otherUnit(quint8 unit)
{
    return unit == 0xFF ? 0x01 : quint8(unit + 1);
}

// The next function code, the exception bit kept.
quint8 otherFunction(quint8 function)
{
    const quint8 code = function & 0x7F;
    return quint8((function & 0x80) | (code == 0x7F ? 0x01 : code + 1));
}

} // namespace

std::optional<QByteArray> replyInstead(const FaultAction &action, QByteArrayView requestPdu)
{
    if (action.kind != FaultAction::Exception || requestPdu.isEmpty())
        return std::nullopt;
    return exceptionReply(quint8(requestPdu[0]), action.exceptionCode);
}

bool changesBytes(FaultAction::Kind kind, ReplyFraming framing)
{
    switch (kind) {
    case FaultAction::Crc:
        return framing == ReplyFraming::Rtu;
    case FaultAction::Tid:
        return framing == ReplyFraming::Mbap;
    case FaultAction::Truncate:
    case FaultAction::WrongUnit:
    case FaultAction::WrongFunction:
    case FaultAction::Extra:
        return true;
    default:
        return false;
    }
}

QByteArray appliedToFrame(const FaultAction &action, ReplyFraming framing, QByteArray frame)
{
    const bool rtu = framing == ReplyFraming::Rtu;
    const qsizetype unitAt = rtu ? 0 : 6;
    // The shortest frame each field is in: a reply of the device always is.
    const qsizetype least = rtu ? 4 : 8;
    if (!changesBytes(action.kind, framing) || frame.size() < least)
        return frame;
    switch (action.kind) {
    case FaultAction::Crc:
        frame[frame.size() - 2] = char(~quint8(frame[frame.size() - 2]));
        frame[frame.size() - 1] = char(~quint8(frame[frame.size() - 1]));
        break;
    case FaultAction::Tid: {
        const quint16 id = bigEndian16(frame, 0) + 1;
        frame[0] = char(id >> 8);
        frame[1] = char(id & 0xFF);
        break;
    }
    case FaultAction::WrongUnit:
    case FaultAction::WrongFunction: {
        const qsizetype at = action.kind == FaultAction::WrongUnit ? unitAt : unitAt + 1;
        frame[at] = char(action.kind == FaultAction::WrongUnit ? otherUnit(quint8(frame[at]))
                                                               : otherFunction(quint8(frame[at])));
        if (rtu)
            fillCrc(frame);
        break;
    }
    case FaultAction::Extra:
        frame += action.extra;
        break;
    case FaultAction::Truncate:
        frame.truncate(action.bytes);
        break;
    default:
        break;
    }
    return frame;
}

} // namespace tallowick
