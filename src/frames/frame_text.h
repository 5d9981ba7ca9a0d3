#pragma once

#include <QByteArrayView>
#include <QChar>
#include <QString>

namespace tallowick {

// Two uppercase digits per byte; a frame ending in a CRC gets one space before it.
QString frameText(QByteArrayView frame, bool endsInCrc);

// The CRC as it stands on the line, low byte first: "840A".
QString crcText(quint16 crc);

// The value of a hexadecimal digit in either case, or -1 for anything else.
int hexDigit(QChar c);

// The same digits as frameText() without the space, written from `to` on (two
// a byte); returns where they end.
char *writeHex(char *to, QByteArrayView frame);

} // namespace tallowick
