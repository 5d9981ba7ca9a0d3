#pragma once

#include <QFont>

namespace tallowick {

// The Traditional Chinese face the captions were drawn for, then the CJK faces
// a Linux desktop has in its place.
QFont mingFont(qreal pointSize);

} // namespace tallowick
