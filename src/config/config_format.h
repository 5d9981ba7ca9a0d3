#pragma once

#include "config/config_value.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tallowick {

// A value arrives through a buffer of 256 bytes, so at most 255 bytes of it.
inline constexpr qsizetype valueBufferSize = 256;

// The 39 values a file holds, a missing key giving the empty text. A file that
// starts with a UTF-8 byte-order mark is read as UTF-8, any other in codePage.
QStringList configValuesFromFile(const QByteArray &file, int codePage);

// The file with the 39 values written into it key by key, in place.
QByteArray slotFileWith(const QByteArray &file, const QStringList &values, int codePage);

// A complete exported file.
QByteArray exportedFile(const QStringList &values, int codePage);

// Whether a name can stand for a file in the program's folder. Wildcards and
// the other characters Windows refuses in names make a slot name unusable.
bool isValidSlotFileName(const QString &name);

// Whether a bare file name matches the pattern "*.ini" (letter case aside).
// Hidden files, whose names start with ".", never do.
bool matchesIniPattern(const QString &name);

} // namespace tallowick
