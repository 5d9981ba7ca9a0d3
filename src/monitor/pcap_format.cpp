#include "monitor/pcap_format.h"

#include <algorithm>

namespace tallowick {

namespace {

void append32(QByteArray &out, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

void append16(QByteArray &out, quint16 value)
{
    out.append(char(value & 0xFF));
    out.append(char(value >> 8));
}

} // namespace

QByteArray pcapFileHeader()
{
    QByteArray header;
    append32(header, 0xa1b2c3d4);
    append16(header, 2);
    append16(header, 4);
    append32(header, 0); // thiszone: stamps are UTC
    append32(header, 0); // sigfigs
    append32(header, pcapSnapLength);
    append32(header, pcapLinkTypeUser0);
    return header;
}

QByteArray pcapRecord(qint64 wallUs, QByteArrayView frame)
{
    wallUs = std::max<qint64>(0, wallUs);
    const auto length = quint32(std::min<qsizetype>(frame.size(), pcapSnapLength));
    QByteArray record;
    record.reserve(16 + qsizetype(length));
    append32(record, quint32(wallUs / 1'000'000));
    append32(record, quint32(wallUs % 1'000'000));
    append32(record, length);
    append32(record, quint32(frame.size()));
    record.append(frame.data(), length);
    return record;
}

} // namespace tallowick
