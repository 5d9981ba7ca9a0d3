#pragma once

#include <QStringView>
#include <optional>

namespace tallowick {

// The number a text field begins with, read the way the settings have always
// been read: blanks, tabs and line feeds are skipped anywhere, an optional sign,
// digits, an optional decimal point and fraction; "&H" starts a hexadecimal
// number. 0 when the text begins with no number.
double numericValue(QStringView text);

// Nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

// The numeric value taken at its nearest whole number, when that fits in
// [minimum, maximum]; nothing otherwise.
std::optional<long long> wholeValueIn(QStringView text, long long minimum, long long maximum);

// True when the numeric value is itself a whole number (0.3 and 15.6 are not).
bool isWholeNumber(double value);

} // namespace tallowick
