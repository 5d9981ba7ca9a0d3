#pragma once

#include <QRegularExpression>

namespace tallowick::test {

// "HH:mm:ss   " in front of every entry line of the log, on screen and saved.
inline const QRegularExpression timeStamp(QStringLiteral("(?m)^\\d\\d:\\d\\d:\\d\\d   "));

} // namespace tallowick::test
