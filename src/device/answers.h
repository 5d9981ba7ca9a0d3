#pragma once

// The device's answer to a request, as the Modbus application protocol gives
// it: a request PDU (function code and data, without unit or CRC) and the map
// give the reply PDU, and a write changes the map before the reply is made.
//
// Functions 01, 02, 03, 04 (reads), 05, 06, 0F, 10 (writes), 16 (mask write),
// 17 (write, then read) and 08 sub-function 00 (the request echoed). The
// checks run in the protocol's order: an unknown function is exception 01; a
// count or byte count out of range, or a value 05 does not take, 03; then a
// place the map does not define, or a write to a place it reads only, 02. A
// refused request changes nothing.

#include "device/device_map.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <variant>
#include <vector>

namespace tallowick {

// A request its function cannot be read from: it gets no reply (the link
// counts it). A request longer than its function's fields (and byte count)
// say is refused as well: its end cannot be one request.
struct MalformedRequest
{
    enum Reason { TooShort, TooLong };
    Reason reason = TooShort;
    QString text;
};

using Answer = std::variant<QByteArray, MalformedRequest>;

Answer answer(DeviceMap &map, QByteArrayView pdu);
// Why answer() would refuse the request; nothing when it answers it (an
// unknown function included, with exception 01).
std::optional<MalformedRequest> malformedRequest(QByteArrayView pdu);

// Function code with bit 0x80 set, then the code.
QByteArray exceptionReply(quint8 function, quint8 code);

inline constexpr quint8 illegalFunction = 0x01;
inline constexpr quint8 illegalDataAddress = 0x02;
inline constexpr quint8 illegalDataValue = 0x03;

// The places a request reads or writes, for a rule that asks which it
// touches; none for a request too short to say.
struct AddressSpan
{
    int first = 0;
    int count = 0;
    bool operator==(const AddressSpan &) const = default;
};

std::vector<AddressSpan> requestAddresses(QByteArrayView pdu);

// The table a function reads or writes: coils for 01, 05 and 0F, discrete
// inputs for 02, input registers for 04, holding registers for the others.
Table requestTable(quint8 function);

} // namespace tallowick
