#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace tallowick {

// The configuration set: 39 values under the section [SETTINGS], in the order
// in which every writer and the loader handle them.
inline constexpr int configValueCount = 39;

// Where each setting stands among the 39 values.
enum ConfigValue : int {
    TitleValue = 0,                          // FILENAME
    AddressValue,                            // IP
    PortValue,                               // PORT
    TimeoutValue,                            // TIMEOUT
    PauseValue,                              // REPEAT
    FirstLineValue,                          // REPEAT_START
    LastLineValue,                           // REPEAT_STOP
    LineNumberValue,                         // SEND_CNT
    PassesValue,                             // REPEAT_CNT
    FirstCommandValue,                       // CMD0 .. CMD14
    FirstNoteValue = FirstCommandValue + 15, // noteText0 .. noteText14
};

struct ConfigKey
{
    QByteArray slotKey;   // as the slot writer and the loader name it
    QByteArray exportKey; // as the export writer names it; differs only in case
};

const std::array<ConfigKey, configValueCount> &configKeys();

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
