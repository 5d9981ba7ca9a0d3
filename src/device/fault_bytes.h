#pragma once

// The rule actions that change only the bytes of a reply, applied to the
// framed reply as it will go on the link: an RTU frame (unit, PDU, CRC low
// byte first) or a Modbus TCP one (MBAP header, PDU). What needs the link
// (delay, silent, gap, close) is the link's to do; exception=CC is a reply of
// its own, exceptionReply(), made instead of the answer.

#include "device/fault_rule.h"

#include <QByteArray>

namespace tallowick {

enum class Framing : quint8 { Rtu, Mbap };

// Whether the action changes a reply's bytes on this framing: crc does not on
// Modbus TCP, which has no CRC, tid only on Modbus TCP.
bool changesBytes(FaultAction::Kind kind, Framing framing);

// The frame with the action applied; as it was for an action that changes no
// bytes. wrong-unit and wrong-function leave a good CRC on the changed frame,
// so that the one fault is the one the master sees.
QByteArray appliedToFrame(const FaultAction &action, Framing framing, QByteArray frame);

} // namespace tallowick
