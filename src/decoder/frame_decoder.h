#pragma once

#include <QString>

namespace tallowick {

// The field-by-field description of a Modbus frame written as hexadecimal text
// without its CRC. Each function takes the whole text of the decoder's box and
// returns it with the description appended below; fields are shown exactly as
// they stand in the text.

// Chooses the description by the function code at characters 3-4.
QString parseCommand(const QString &text);

QString modbus03(const QString &text);
QString modbus04(const QString &text);
QString modbus06(const QString &text);
QString modbus10(const QString &text);

} // namespace tallowick
