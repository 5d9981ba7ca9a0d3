#pragma once

#include <QByteArrayView>
#include <QString>

namespace tallowick {

// Two uppercase digits per byte; a frame ending in a CRC gets one space before it.
QString frameText(QByteArrayView frame, bool endsInCrc);

} // namespace tallowick
