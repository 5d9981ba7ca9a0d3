#include "frames/crc.h"

namespace tallowick {

quint16 CRC16(QByteArrayView bytes)
{
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i + 2 < bytes.size(); ++i) {
        crc ^= quint8(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

bool endsInCrc(QByteArrayView frame, quint16 crc)
{
    return frame.size() >= 2 && quint8(frame[frame.size() - 2]) == (crc & 0xFF) &&
           quint8(frame.back()) == (crc >> 8);
}

bool endsInGoodCrc(QByteArrayView frame)
{
    return endsInCrc(frame, CRC16(frame));
}

QByteArray withCrc(QByteArrayView bytes)
{
    QByteArray frame = bytes.toByteArray();
    frame.append(2, '\0');
    fillCrc(frame);
    return frame;
}

void fillCrc(QByteArray &frame)
{
    const quint16 crc = CRC16(frame);
    frame[frame.size() - 2] = char(crc & 0xFF);
    frame[frame.size() - 1] = char(crc >> 8);
}

} // namespace tallowick
