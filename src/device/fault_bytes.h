#pragma once

// The rule actions that change only the bytes of a reply. A request the rules
// pick a rule for is served in this order: exception=CC replaces the answer
// (replyInstead(): the request is refused, so its writes are not made);
// otherwise the map answers it; the reply is framed, and the actions that
// change bytes are applied to the frame as it will go on the link: an RTU
// frame (unit, PDU, CRC low byte first) or a Modbus TCP one (MBAP header,
// PDU). What needs the link (delay, silent, gap, close) is the link's to do.

#include "device/fault_rule.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace tallowick {

enum class ReplyFraming : quint8 { Rtu, Mbap };

// The reply PDU exception=CC sends in the place of the answer: the request's
// function code with bit 0x80 set, then CC. Nothing for any other action.
std::optional<QByteArray> replyInstead(const FaultAction &action, QByteArrayView requestPdu);

// Whether the action changes a reply's bytes on this framing: crc does not on
// Modbus TCP, which has no CRC, tid only on Modbus TCP.
bool changesBytes(FaultAction::Kind kind, ReplyFraming framing);

// The frame with the action applied; as it was for an action that changes no
// bytes. wrong-unit and wrong-function leave a good CRC on the changed frame,
// so that the one fault is the one the master sees.
QByteArray appliedToFrame(const FaultAction &action, ReplyFraming framing, QByteArray frame);

} // namespace tallowick
