#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace tallowick {

// CRC-16/MODBUS over every byte except the last two, so that one routine both
// fills the CRC slots of a frame buffer and checks a received frame.
quint16 CRC16(QByteArrayView bytes);

// Whether the last two bytes are the CRC of the others, low byte first. A
// frame of fewer than two bytes has no CRC and never ends in a good one.
bool endsInCrc(QByteArrayView frame, quint16 crc);
bool endsInGoodCrc(QByteArrayView frame);

// The bytes with their CRC appended, low byte first: an RTU frame.
QByteArray withCrc(QByteArrayView bytes);
// The last two bytes of the frame set to the CRC of the others.
void fillCrc(QByteArray &frame);

} // namespace tallowick
