#pragma once

// The types a device map gives its values and the byte orders of the wider
// ones: a value's text to the registers it takes, and back again for a save.
//
// Every value is first written as its bytes high first (order ABCD), then put
// in the order the map asks for:
//   ABCD  words high first, bytes high first (the protocol's own order)
//   CDAB  words low first
//   BADC  bytes swapped in each word
//   DCBA  both
// A 64-bit value follows the same rule over four words, a 16-bit one over its
// one word (CDAB is then ABCD, DCBA is BADC).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>
#include <variant>

namespace tallowick {

enum class ValueType : quint8 { Bit, U16, I16, U32, I32, F32, U64, I64, F64, Str };

enum class ByteOrder : quint8 { ABCD, CDAB, BADC, DCBA };

// A type with its width: str:N takes N registers, the others their own size.
struct ValueKind
{
    ValueType type = ValueType::U16;
    int registers = 1; // a bit takes one coil or input
    bool operator==(const ValueKind &) const = default;
};

// "f32" or "str:8", in any case; nothing when the text names no type.
std::optional<ValueKind> parseType(QStringView text);
QString typeName(const ValueKind &kind);
// The list a refusal ends with.
QString typeNames();

std::optional<ByteOrder> parseOrder(QStringView text);
QString orderName(ByteOrder order);

bool isNumber(ValueType type);

// The value's bytes high first, 2 bytes a register (a bit: one byte, 0 or 1),
// or why the text is not a value of the type. Integers are decimal or 0x
// hexadecimal; a hexadecimal value of any number type, or of str, is its raw
// bytes, so that every register content has a text (a float's NaN payload, a
// string with NUL inside). Floats are decimal, nan or inf. Text of str is
// UTF-8, padded with NUL.
std::variant<QByteArray, QString> valueBytes(QStringView text, const ValueKind &kind);

// The text valueBytes() reads back as the same bytes.
QString valueText(QByteArrayView bytes, const ValueKind &kind);

// Bytes high first put in the order, or back (each order is its own inverse).
QByteArray reordered(QByteArrayView bytes, ByteOrder order);

} // namespace tallowick
