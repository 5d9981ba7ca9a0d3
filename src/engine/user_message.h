#pragma once

#include <QString>

namespace tallowick {

// The icon of a message for the user. The values are the icon flags of the
// window's message boxes, so a message reaches a box unchanged.
enum class MessageIcon : int { None = 0, Critical = 16, Exclamation = 48, Information = 64 };

inline const QString programTitle = QStringLiteral("Tallowick");

} // namespace tallowick
