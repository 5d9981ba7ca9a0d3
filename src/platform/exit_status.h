#pragma once

#include <csignal>

// The exit statuses of every program without a window, one scheme that their
// manual pages tell alike, so that a script reads them the same way.
namespace tallowick::exit_status {

// What was asked for is done.
inline constexpr int done = 0;
// A failure was seen: an exchange that failed, a port that went away.
inline constexpr int failureSeen = 1;
// Refused before it began: a bad option, file, map or port.
inline constexpr int refused = 2;
// An output could not be written; no other outcome outweighs it.
inline constexpr int outputNotWritten = 3;

// Ended by a signal, as a shell tells it.
constexpr int onSignal(int signal)
{
    return 128 + signal;
}
inline constexpr int readerGone = onSignal(SIGPIPE);

} // namespace tallowick::exit_status
