#pragma once

// A serial port set up with termios: raw bytes at the given settings, the
// modem lines left as opening the device set them. A listener that must never
// write (the bus monitor) opens it for reading alone; a device that answers
// on the line, for both.

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
enum class LineUse : quint8 { Listen, Answer };
std::variant<int, QString> openLine(const QString &path, const LineSettings &settings, LineUse use);

} // namespace tallowick
