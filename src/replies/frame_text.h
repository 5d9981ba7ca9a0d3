#pragma once

#include <QByteArrayView>
#include <QString>

namespace tallowick {

// CRC-16/MODBUS over every byte except the last two, so that one routine both
// fills the CRC slots of a frame buffer and checks a received frame.
quint16 CRC16(QByteArrayView bytes);

// Two uppercase digits per byte; a frame ending in a CRC gets one space before it.
QString frameText(QByteArrayView frame, bool endsInCrc);

} // namespace tallowick
