#pragma once

#include "frames/frame_text.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tallowick {

// The data bytes that a command line's hexadecimal text stands for, two digits
// per byte from the left; an odd trailing digit is a byte of its own ("5" is 05).
// Anything that is not a hexadecimal digit rejects the whole line.
std::optional<QByteArray> textToFrame(QStringView commandText);

// The frame put on the wire: the data bytes, plus the CRC low byte first when on.
QByteArray buildFrame(const QByteArray &data, bool withCrc);

struct BuiltFrame
{
    QByteArray bytes;
    QString text;
};

// Text to frame, CRC and frame text in one step, as the transmit routine needs it.
std::optional<BuiltFrame> commandFrame(QStringView commandText, bool withCrc);

} // namespace tallowick
