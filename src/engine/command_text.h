#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tallowick {

// The data bytes that a command line's hexadecimal text stands for, two digits
// per byte from the left; an odd trailing digit is a byte of its own ("5" is 05).
// Anything that is not a hexadecimal digit rejects the whole line.
std::optional<QByteArray> textToFrame(QStringView commandText);

// CRC-16/MODBUS over every byte except the last two, so that one routine both
// fills the CRC slots of a frame buffer and checks a received frame.
quint16 CRC16(QByteArrayView bytes);

// The frame put on the wire: the data bytes, plus the CRC low byte first when on.
QByteArray buildFrame(const QByteArray &data, bool withCrc);

// Two uppercase digits per byte; a frame ending in a CRC gets one space before it.
QString frameText(QByteArrayView frame, bool endsInCrc);

struct BuiltFrame
{
    QByteArray bytes;
    QString text;
};

// Text to frame, CRC and frame text in one step, as the transmit routine needs it.
std::optional<BuiltFrame> commandFrame(QStringView commandText, bool withCrc);

} // namespace tallowick
