#pragma once

#include <QString>
#include <chrono>
#include <optional>

namespace tallowick {

// Which of the fields a Send cannot do without are empty: 1 the address,
// 2 the port, 4 the time-out. A text of blanks is not empty.
int checkNullMask(const QString &address, const QString &port, const QString &timeout);

// The message box text and the status caption for a settings mask; a mask of 0
// means the line number is 0 or less.
struct SettingsComplaint
{
    QString message;
    QString status;
};
SettingsComplaint settingsComplaint(int mask);

// The reply timer's interval for a `timeout` text: its value in whole
// milliseconds when that is more than 1, else 1 ms; nothing when the value is
// larger than a timer can hold.
std::optional<std::chrono::milliseconds> replyTimerInterval(const QString &timeout);

// The TCP port a `port` text names: a whole number from 1 to 65535.
std::optional<quint16> tcpPort(const QString &port);

// The fields of a repeat run, as typed.
struct RepeatFields
{
    QString rCNT;    // passes
    QString rpStart; // first line
    QString rpStop;  // last line
    QString repeat;  // pause between passes, ms
};
// The count and stop line checks apply to starting and stopping a run alike;
// the others only to starting one.
bool repeatCountValid(const RepeatFields &fields);
bool repeatStartValid(const RepeatFields &fields);
// The pause before the next pass, in whole milliseconds. Fields changed during
// a run are no longer checked: whatever they say is kept within what a timer
// holds.
std::chrono::milliseconds repeatPause(const RepeatFields &fields);

} // namespace tallowick
