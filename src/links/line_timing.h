#pragma once

// The timing of an RTU serial line, from its settings: one character on the
// wire (start, data, parity and stop bits), t1.5 and t3.5. Above 19200 baud
// the serial line standard fixes t1.5 at 0.75 ms and t3.5 at 1.75 ms.
// Whoever listens to a line (the engine for a reply, the monitor, a device
// that takes requests) ends a frame by the same rule: t3.5 plus one character
// after the last delivery of bytes with nothing new, since a UART delivers a
// byte when its stop bit ends.

#include "links/serial_settings.h"

#include <chrono>

namespace tallowick {

struct LineTiming
{
    std::chrono::nanoseconds character{0};
    std::chrono::microseconds t15{0}; // rounded up to the microsecond
    std::chrono::microseconds t35{0}; // rounded up to the microsecond

    // From the last delivery to the end of the frame it belongs to.
    std::chrono::nanoseconds frameEnd() const { return t35 + character; }
    // The time the line takes to carry so many characters back to back.
    std::chrono::nanoseconds wireTime(qsizetype characters) const { return character * characters; }
};

LineTiming lineTiming(const LineSettings &settings);

// The longest an adapter holds bytes back: whoever cuts frames by silences
// lets a piece with a wrong CRC wait this long after its end for the piece
// that completes it.
inline constexpr std::chrono::milliseconds adapterHoldBack{20};

// The same with t3.5 given (a listener's own choice), t1.5 in proportion.
LineTiming lineTiming(const LineSettings &settings, std::chrono::microseconds t35);

} // namespace tallowick
