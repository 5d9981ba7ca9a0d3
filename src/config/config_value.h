#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>

namespace tallowick {

inline constexpr int commandLineCount = 15;

// The configuration set: the values a slot or an exported file holds under
// the section [SETTINGS], in the order in which every writer and the loader
// handle them, and the window's boxes hold them.
enum ConfigValue : int {
    TitleValue = 0,                                        // FILENAME
    AddressValue,                                          // IP
    PortValue,                                             // PORT
    TimeoutValue,                                          // TIMEOUT
    PauseValue,                                            // REPEAT
    FirstLineValue,                                        // REPEAT_START
    LastLineValue,                                         // REPEAT_STOP
    LineNumberValue,                                       // SEND_CNT
    PassesValue,                                           // REPEAT_CNT
    FirstCommandValue,                                     // CMD0 .. CMD14
    FirstNoteValue = FirstCommandValue + commandLineCount, // noteText0 .. noteText14
};

inline constexpr int configValueCount = FirstNoteValue + commandLineCount;

// Command and note lines are zero-based here, as in the keys; the window
// numbers them from 1.
constexpr ConfigValue commandValue(int line)
{
    return ConfigValue(FirstCommandValue + line);
}
constexpr ConfigValue noteValue(int line)
{
    return ConfigValue(FirstNoteValue + line);
}

// What each value is called where it appears.
struct ConfigValueNames
{
    QByteArray slotKey;   // in a slot file, as the slot writer and the loader name it
    QByteArray exportKey; // in an exported file; differs only in case
    QString boxName;      // the objectName of the window's box that holds it
    // What the box holds when the window opens, and what a headless run takes
    // for a value neither its file nor its command line gives.
    QString designDefault;
};

// By ConfigValue.
const std::array<ConfigValueNames, configValueCount> &configValueNames();

// Every value's designDefault, by ConfigValue.
QStringList designDefaults();

} // namespace tallowick
