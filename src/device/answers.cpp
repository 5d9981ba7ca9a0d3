#include "device/answers.h"

#include "frames/modbus_pdu.h"

namespace tallowick {

namespace {

void appendWord(QByteArray &bytes, quint16 value)
{
    bytes += char(value >> 8);
    bytes += char(value & 0xFF);
}

// What the one description of a PDU says of a request's length, in PDU
// bytes. It counts an RTU frame, so the PDU goes between a unit and a CRC.
FrameLength requestLength(QByteArrayView pdu)
{
    const QByteArray frame = QByteArray(1, '\0') + pdu.toByteArray();
    FrameLength length = rtuFrameLength(frame, PduRole::Request);
    length.bytes -= 3;
    return length;
}

bool hasLayout(quint8 function)
{
    const char frame[] = {0, char(function)};
    return rtuFrameLength(QByteArrayView(frame, 2), PduRole::Request).status !=
           FrameLength::NoLayout;
}

std::optional<MalformedRequest> checkLength(quint8 function, QByteArrayView pdu)
{
    // 08 has no fixed layout: the sub-function's data runs to the end.
    const FrameLength length = requestLength(pdu);
    qsizetype least = 3;
    qsizetype most = -1;
    if (length.status == FrameLength::Known)
        least = most = length.bytes;
    else if (length.status == FrameLength::NeedMore)
        least = pdu.size() + 1;
    if (pdu.size() < least)
        return MalformedRequest{MalformedRequest::TooShort,
                                QStringLiteral("%1 bytes, function %2 needs %3")
                                    .arg(pdu.size())
                                    .arg(function, 2, 16, QLatin1Char('0'))
                                    .arg(least)};
    if (most >= 0 && pdu.size() > most)
        return MalformedRequest{MalformedRequest::TooLong,
                                QStringLiteral("%1 bytes, function %2 takes %3")
                                    .arg(pdu.size())
                                    .arg(function, 2, 16, QLatin1Char('0'))
                                    .arg(most)};
    return std::nullopt;
}

} // namespace

Table requestTable(quint8 function)
{
    switch (function) {
    case 0x01:
    case 0x05:
    case 0x0F:
        return Table::Coil;
    case 0x02:
        return Table::Discrete;
    case 0x04:
        return Table::Input;
    default:
        return Table::Holding;
    }
}

namespace {

QByteArray readBits(const DeviceMap &map, Table table, int first, int count)
{
    QByteArray reply(2 + (count + 7) / 8, '\0');
    reply[1] = char((count + 7) / 8);
    for (int i = 0; i < count; ++i) {
        if (map.value(table, quint16(first + i)) != 0)
            reply[2 + i / 8] = char(quint8(reply[2 + i / 8]) | 1 << (i % 8));
    }
    return reply;
}

QByteArray readRegisters(const DeviceMap &map, Table table, int first, int count)
{
    QByteArray reply(2, '\0');
    reply[1] = char(2 * count);
    for (int i = 0; i < count; ++i)
        appendWord(reply, map.value(table, quint16(first + i)));
    return reply;
}

void writeRegisters(DeviceMap &map, int first, QByteArrayView values)
{
    for (qsizetype i = 0; i + 1 < values.size(); i += 2)
        map.setValue(Table::Holding, quint16(first + i / 2), bigEndian16(values, i));
}

QByteArray answerChecked(DeviceMap &map, QByteArrayView pdu)
{
    const auto function = quint8(pdu[0]);
    const auto failed = [function](quint8 code) { return exceptionReply(function, code); };
    switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04: {
        const bool bits = function <= 0x02;
        const int first = bigEndian16(pdu, 1);
        const int count = bigEndian16(pdu, 3);
        if (count < 1 || count > (bits ? 2000 : 125))
            return failed(illegalDataValue);
        const Table table = requestTable(function);
        if (!map.defined(table, first, count))
            return failed(illegalDataAddress);
        QByteArray reply =
            bits ? readBits(map, table, first, count) : readRegisters(map, table, first, count);
        reply[0] = char(function);
        return reply;
    }
    case 0x05: {
        const quint16 value = bigEndian16(pdu, 3);
        if (value != 0x0000 && value != 0xFF00)
            return failed(illegalDataValue);
        if (!map.writable(Table::Coil, bigEndian16(pdu, 1), 1))
            return failed(illegalDataAddress);
        map.setValue(Table::Coil, bigEndian16(pdu, 1), value != 0);
        return pdu.toByteArray();
    }
    case 0x06:
        if (!map.writable(Table::Holding, bigEndian16(pdu, 1), 1))
            return failed(illegalDataAddress);
        map.setValue(Table::Holding, bigEndian16(pdu, 1), bigEndian16(pdu, 3));
        return pdu.toByteArray();
    case 0x0F:
    case 0x10: {
        const bool bits = function == 0x0F;
        const int first = bigEndian16(pdu, 1);
        const int count = bigEndian16(pdu, 3);
        const int byteCount = quint8(pdu[5]);
        if (count < 1 || count > (bits ? 1968 : 123) ||
            byteCount != (bits ? (count + 7) / 8 : 2 * count))
            return failed(illegalDataValue);
        const Table table = bits ? Table::Coil : Table::Holding;
        if (!map.writable(table, first, count))
            return failed(illegalDataAddress);
        if (bits) {
            for (int i = 0; i < count; ++i)
                map.setValue(table, quint16(first + i), (quint8(pdu[6 + i / 8]) >> (i % 8)) & 1);
        } else {
            writeRegisters(map, first, pdu.sliced(6));
        }
        return pdu.first(5).toByteArray();
    }
    case 0x16: {
        const quint16 address = bigEndian16(pdu, 1);
        if (!map.writable(Table::Holding, address, 1))
            return failed(illegalDataAddress);
        const quint16 andMask = bigEndian16(pdu, 3);
        const quint16 orMask = bigEndian16(pdu, 5);
        const quint16 current = map.value(Table::Holding, address);
        map.setValue(Table::Holding, address, quint16((current & andMask) | (orMask & ~andMask)));
        return pdu.toByteArray();
    }
    case 0x17: {
        const int readFirst = bigEndian16(pdu, 1);
        const int readCount = bigEndian16(pdu, 3);
        const int writeFirst = bigEndian16(pdu, 5);
        const int writeCount = bigEndian16(pdu, 7);
        if (readCount < 1 || readCount > 125 || writeCount < 1 || writeCount > 121 ||
            quint8(pdu[9]) != 2 * writeCount)
            return failed(illegalDataValue);
        if (!map.defined(Table::Holding, readFirst, readCount) ||
            !map.writable(Table::Holding, writeFirst, writeCount))
            return failed(illegalDataAddress);
        writeRegisters(map, writeFirst, pdu.sliced(10));
        QByteArray reply = readRegisters(map, Table::Holding, readFirst, readCount);
        reply[0] = char(function);
        return reply;
    }
    case 0x08:
        if (bigEndian16(pdu, 1) != 0x0000)
            return failed(illegalFunction);
        return pdu.toByteArray();
    default:
        return failed(illegalFunction);
    }
}

} // namespace

QByteArray exceptionReply(quint8 function, quint8 code)
{
    QByteArray reply(2, Qt::Uninitialized);
    reply[0] = char(function | 0x80);
    reply[1] = char(code);
    return reply;
}

std::optional<MalformedRequest> malformedRequest(QByteArrayView pdu)
{
    if (pdu.isEmpty())
        return MalformedRequest{MalformedRequest::TooShort, QStringLiteral("no function code")};
    // No PDU is longer, whatever it carries (an echo of 08 included).
    constexpr qsizetype longestPdu = 253;
    if (pdu.size() > longestPdu)
        return MalformedRequest{MalformedRequest::TooLong,
                                QStringLiteral("%1 bytes, more than a PDU holds").arg(pdu.size())};
    const auto function = quint8(pdu[0]);
    if (function != 0x08 && !hasLayout(function))
        return std::nullopt;
    return checkLength(function, pdu);
}

Answer answer(DeviceMap &map, QByteArrayView pdu)
{
    if (auto malformed = malformedRequest(pdu))
        return *malformed;
    const auto function = quint8(pdu[0]);
    if (function != 0x08 && !hasLayout(function))
        return exceptionReply(function, illegalFunction);
    return answerChecked(map, pdu);
}

std::vector<AddressSpan> requestAddresses(QByteArrayView pdu)
{
    if (pdu.isEmpty() || checkLength(quint8(pdu[0]), pdu) || !hasLayout(quint8(pdu[0])))
        return {};
    switch (quint8(pdu[0])) {
    case 0x05:
    case 0x06:
    case 0x16:
        return {{bigEndian16(pdu, 1), 1}};
    case 0x17:
        return {{bigEndian16(pdu, 1), bigEndian16(pdu, 3)},
                {bigEndian16(pdu, 5), bigEndian16(pdu, 7)}};
    default:
        return {{bigEndian16(pdu, 1), bigEndian16(pdu, 3)}};
    }
}

} // namespace tallowick
