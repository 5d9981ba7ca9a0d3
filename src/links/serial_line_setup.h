#pragma once

// A serial port opened for reading the line alone, set up with termios: raw
// bytes at the given settings, the modem lines left as opening the device
// set them. For a listener that must never write (the bus monitor).

#include "links/serial_settings.h"

#include <QString>
#include <optional>
#include <termios.h>
#include <variant>

namespace tallowick {

// The speed constant of a baud rate that isLineBaudRate() takes.
std::optional<speed_t> lineSpeed(qint32 baudRate);

// The open, non-blocking descriptor, or why not: "cannot open PATH: reason",
// "PATH: not a serial port (reason)", "PATH: the port does not take N baud",
// "PATH: the port refuses the settings (reason)". Bytes from before the
// settings are in place are dropped.
std::variant<int, QString> openLineForReading(const QString &path, const LineSettings &settings);

} // namespace tallowick
