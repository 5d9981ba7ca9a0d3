#include "frames/modbus_pdu.h"

#include <algorithm>
#include <array>

namespace tallowick {

namespace {

// The layout of a request or a reply: a fixed part of the whole frame, and
// for a layout with a byte count the offset of that count in the frame (its
// value is added). Offsets count from the address.
struct Layout
{
    qsizetype fixed = 0;
    qsizetype countAt = 0; // 0: none (the address is never a count)
};

// What must stay equal between a request and its reply: none, the bytes
// from 2 up to echoEnd (a write's echo), or a read's byte count against its
// quantity at 4 (2 x count for registers, ceil(count / 8) for bits).
enum class Answer { Echo, ReadRegisters, ReadBits };

struct Function
{
    quint8 code;
    const char *name;
    Layout request;
    Layout reply;
    Answer answer;
    qsizetype echoEnd = 0;
};

// Address 1 + function 1 + CRC 2 = 4 bytes around the data.
constexpr std::array functions{
    Function{0x01, "read coils", {8}, {5, 2}, Answer::ReadBits},
    Function{0x02, "read discrete inputs", {8}, {5, 2}, Answer::ReadBits},
    Function{0x03, "read holding registers", {8}, {5, 2}, Answer::ReadRegisters},
    Function{0x04, "read input registers", {8}, {5, 2}, Answer::ReadRegisters},
    Function{0x05, "write single coil", {8}, {8}, Answer::Echo, 6},
    Function{0x06, "write single register", {8}, {8}, Answer::Echo, 6},
    Function{0x0F, "write multiple coils", {9, 6}, {8}, Answer::Echo, 6},
    Function{0x10, "write multiple registers", {9, 6}, {8}, Answer::Echo, 6},
    Function{0x16, "mask write register", {10}, {10}, Answer::Echo, 8},
    Function{0x17, "read/write multiple registers", {13, 10}, {5, 2}, Answer::ReadRegisters},
};

// Address, function, exception code, CRC.
constexpr qsizetype exceptionLength = 5;

const Function *functionOf(quint8 code)
{
    const auto found = std::find_if(functions.begin(), functions.end(),
                                    [code](const Function &f) { return f.code == code; });
    return found == functions.end() ? nullptr : &*found;
}

} // namespace

FrameLength rtuFrameLength(QByteArrayView frame, PduRole role)
{
    if (frame.size() < 2)
        return {FrameLength::NeedMore, 0};
    const auto code = quint8(frame[1]);
    if (code & 0x80)
        return role == PduRole::Reply ? FrameLength{FrameLength::Known, exceptionLength}
                                      : FrameLength{};
    const Function *function = functionOf(code);
    if (!function)
        return {};
    const Layout layout = role == PduRole::Request ? function->request : function->reply;
    if (layout.countAt == 0)
        return {FrameLength::Known, layout.fixed};
    if (frame.size() <= layout.countAt)
        return {FrameLength::NeedMore, 0};
    return {FrameLength::Known, layout.fixed + qsizetype(quint8(frame[layout.countAt]))};
}

bool hasLayoutLength(QByteArrayView frame, PduRole role)
{
    const FrameLength length = rtuFrameLength(frame, role);
    return length.status == FrameLength::Known && length.bytes == frame.size();
}

bool lengthFitsFunction(QByteArrayView frame)
{
    return hasLayoutLength(frame, PduRole::Request) || hasLayoutLength(frame, PduRole::Reply);
}

bool replyFits(QByteArrayView request, QByteArrayView reply)
{
    if (!hasLayoutLength(request, PduRole::Request) || !hasLayoutLength(reply, PduRole::Reply))
        return false;
    const auto code = quint8(request[1]);
    if (reply[0] != request[0] || (quint8(reply[1]) & 0x7F) != code)
        return false;
    if (quint8(reply[1]) & 0x80)
        return true;
    const Function &function = *functionOf(code);
    const qsizetype count = quint8(reply[2]);
    switch (function.answer) {
    case Answer::ReadRegisters:
        return count == 2 * qsizetype(bigEndian16(request, 4));
    case Answer::ReadBits:
        return count == (qsizetype(bigEndian16(request, 4)) + 7) / 8;
    case Answer::Echo:
        return request.sliced(2, function.echoEnd - 2) == reply.sliced(2, function.echoEnd - 2);
    }
    return false;
}

QString functionName(quint8 function)
{
    const Function *known = functionOf(function);
    return known ? QString::fromLatin1(known->name) : QString();
}

QString exceptionName(quint8 code)
{
    static constexpr std::array<const char *, 12> names{
        nullptr,
        "illegal function",
        "illegal data address",
        "illegal data value",
        "server device failure",
        "acknowledge",
        "server device busy",
        nullptr,
        "memory parity error",
        nullptr,
        "gateway path unavailable",
        "gateway target device failed to respond",
    };
    return code < names.size() && names[code] ? QString::fromLatin1(names[code]) : QString();
}

} // namespace tallowick
