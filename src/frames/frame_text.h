#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tallowick {

// Two uppercase digits per byte; a frame ending in a CRC gets one space before it.
QString frameText(QByteArrayView frame, bool endsInCrc);

// The same digits without the space, appended to `out` (a record's bytes).
void appendHex(QByteArray &out, QByteArrayView frame);

} // namespace tallowick
