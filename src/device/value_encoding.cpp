#include "device/value_encoding.h"

#include "device/text_forms.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <limits>
#include <string>

namespace tallowick {

namespace {

struct TypeInfo
{
    ValueType type;
    const char *name;
    int registers;
};

constexpr std::array<TypeInfo, 9> fixedTypes{{
    {ValueType::Bit, "bit", 1},
    {ValueType::U16, "u16", 1},
    {ValueType::I16, "i16", 1},
    {ValueType::U32, "u32", 2},
    {ValueType::I32, "i32", 2},
    {ValueType::F32, "f32", 2},
    {ValueType::U64, "u64", 4},
    {ValueType::I64, "i64", 4},
    {ValueType::F64, "f64", 4},
}};

constexpr std::array<const char *, 4> orderNames{"ABCD", "CDAB", "BADC", "DCBA"};

int byteWidth(const ValueKind &kind)
{
    return kind.type == ValueType::Bit ? 1 : 2 * kind.registers;
}

bool isSigned(ValueType type)
{
    return type == ValueType::I16 || type == ValueType::I32 || type == ValueType::I64;
}

bool isFloat(ValueType type)
{
    return type == ValueType::F32 || type == ValueType::F64;
}

QByteArray bigEndian(quint64 bits, int width)
{
    QByteArray bytes(width, Qt::Uninitialized);
    for (int i = width - 1; i >= 0; --i, bits >>= 8)
        bytes[i] = char(bits & 0xFF);
    return bytes;
}

quint64 fromBigEndian(QByteArrayView bytes)
{
    quint64 bits = 0;
    for (char c : bytes)
        bits = bits << 8 | quint8(c);
    return bits;
}

QString outOfRange(QStringView text, const ValueKind &kind, const QString &range)
{
    return QStringLiteral("\"%1\" is out of range for %2 (%3)").arg(text, typeName(kind), range);
}

// 0x digits as the raw bytes of a number of the width: fewer digits are
// padded on the left, more than the width holds are refused.
std::variant<QByteArray, QString> rawNumber(QStringView text, const ValueKind &kind)
{
    const QStringView digits = text.sliced(2);
    const int width = byteWidth(kind);
    bool ok = !digits.isEmpty();
    for (QChar c : digits)
        ok = ok && hexDigit(c) >= 0;
    if (!ok)
        return QStringLiteral("\"%1\" is not a hexadecimal number").arg(text);
    QStringView significant = digits;
    while (significant.size() > 1 && significant.front() == u'0')
        significant = significant.sliced(1);
    if (significant.size() > 2 * width)
        return QStringLiteral("\"%1\" does not fit %2 (%3 hexadecimal digits)")
            .arg(text, typeName(kind))
            .arg(2 * width);
    quint64 bits = 0;
    for (QChar c : significant)
        bits = bits << 4 | quint64(hexDigit(c));
    return bigEndian(bits, width);
}

template <typename T> std::optional<T> fromChars(const std::string &text)
{
    T value{};
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

std::variant<QByteArray, QString> decimalInteger(QStringView text, const ValueKind &kind)
{
    const int bits = 8 * byteWidth(kind);
    QStringView digits = text;
    const bool negative = digits.startsWith(u'-');
    if (negative || digits.startsWith(u'+'))
        digits = digits.sliced(1);
    if (digits.isEmpty() || std::any_of(digits.begin(), digits.end(), [](QChar c) {
            return c.unicode() < u'0' || c.unicode() > u'9';
        }))
        return QStringLiteral("\"%1\" is not a whole number").arg(text);
    // The magnitude's limit: 2^(bits-1) below zero, 2^(bits-1) - 1 above for
    // a signed type, 2^bits - 1 for an unsigned one (and 0 below zero).
    const quint64 half = quint64(1) << (bits - 1);
    const quint64 most =
        isSigned(kind.type) ? (negative ? half : half - 1) : (negative ? 0 : half - 1 + half);
    const auto magnitude = decimalNumber(digits, most);
    if (!magnitude) {
        const QString range =
            isSigned(kind.type)
                ? QStringLiteral("%1 to %2").arg(-qint64(half - 1) - 1).arg(half - 1)
                : QStringLiteral("0 to %1").arg(half - 1 + half);
        return outOfRange(text, kind, range);
    }
    return bigEndian(negative ? quint64(0) - *magnitude : *magnitude, byteWidth(kind));
}

std::variant<QByteArray, QString> decimalFloat(QStringView text, const ValueKind &kind)
{
    std::string digits = text.toString().toStdString();
    if (!digits.empty() && digits.front() == '+')
        digits.erase(0, 1);
    // from_chars reads "inf" and "nan" in any case, and a number with an
    // exponent; it does not depend on the locale.
    if (kind.type == ValueType::F32) {
        const auto value = fromChars<float>(digits);
        if (!value)
            return QStringLiteral("\"%1\" is not a number that f32 holds").arg(text);
        return bigEndian(std::bit_cast<quint32>(*value), 4);
    }
    const auto value = fromChars<double>(digits);
    if (!value)
        return QStringLiteral("\"%1\" is not a number that f64 holds").arg(text);
    return bigEndian(std::bit_cast<quint64>(*value), 8);
}

template <typename T> QString shortest(T value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return QString::fromLatin1(text, result.ptr - text);
}

// The bytes as valueBytes() reads raw ones: 0x and two digits a byte.
QString rawText(QByteArrayView bytes)
{
    return QStringLiteral("0x") + QString::fromLatin1(bytes.toByteArray().toHex().toUpper());
}

// The shortest decimal that reads back as the float; a NaN other than the one
// "nan" reads back as keeps its bits as raw bytes.
template <typename Float, typename Bits> QString floatText(Bits bits, QByteArrayView bytes)
{
    const auto value = std::bit_cast<Float>(bits);
    if (value != value && bits != std::bit_cast<Bits>(std::numeric_limits<Float>::quiet_NaN()))
        return rawText(bytes);
    return shortest(value);
}

bool startsWithHexPrefix(QStringView text)
{
    return text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X');
}

} // namespace

std::optional<ValueKind> parseType(QStringView text)
{
    for (const TypeInfo &info : fixedTypes) {
        if (text.compare(QLatin1StringView(info.name), Qt::CaseInsensitive) == 0)
            return ValueKind{info.type, info.registers};
    }
    if (text.size() > 4 && text.first(4).compare(u"str:", Qt::CaseInsensitive) == 0) {
        const auto n = decimalNumber(text.sliced(4), 65536);
        if (n && *n >= 1)
            return ValueKind{ValueType::Str, int(*n)};
    }
    return std::nullopt;
}

QString typeName(const ValueKind &kind)
{
    if (kind.type == ValueType::Str)
        return QStringLiteral("str:%1").arg(kind.registers);
    return QLatin1StringView(fixedTypes[std::size_t(kind.type)].name).toString();
}

QString typeNames()
{
    return QStringLiteral("bit, u16, i16, u32, i32, f32, u64, i64, f64, str:N");
}

std::optional<ByteOrder> parseOrder(QStringView text)
{
    if (const auto index = nameIndex(text, orderNames))
        return ByteOrder(*index);
    return std::nullopt;
}

QString orderName(ByteOrder order)
{
    return QLatin1StringView(orderNames[std::size_t(order)]).toString();
}

bool isNumber(ValueType type)
{
    return type != ValueType::Bit && type != ValueType::Str;
}

std::variant<QByteArray, QString> valueBytes(QStringView text, const ValueKind &kind)
{
    if (kind.type == ValueType::Str) {
        QByteArray bytes;
        if (startsWithHexPrefix(text)) {
            const auto raw = hexBytes(text.sliced(2));
            if (!raw || raw->isEmpty())
                return QStringLiteral("\"%1\" is not hexadecimal bytes").arg(text);
            bytes = *raw;
        } else {
            bytes = text.toUtf8();
        }
        if (bytes.size() > byteWidth(kind))
            return QStringLiteral("\"%1\" is longer than %2 (%3 bytes)")
                .arg(text, typeName(kind))
                .arg(byteWidth(kind));
        bytes.resize(byteWidth(kind), '\0');
        return bytes;
    }
    if (text.isEmpty())
        return QStringLiteral("empty, and %1 needs a value").arg(typeName(kind));
    if (kind.type == ValueType::Bit) {
        // 0x0 and 0x1 as well: a bit's raw byte is 0 or 1 too.
        const auto raw = startsWithHexPrefix(text) ? rawNumber(text, kind)
                                                   : std::variant<QByteArray, QString>(QString());
        const auto *byte = std::get_if<QByteArray>(&raw);
        if (text == u"0" || text == u"1" || (byte && quint8(byte->at(0)) <= 1))
            return QByteArray(1, char(text == u"1" || (byte && byte->at(0) == 1)));
        return QStringLiteral("\"%1\" is not a bit (0 or 1)").arg(text);
    }
    if (startsWithHexPrefix(text))
        return rawNumber(text, kind);
    if (isFloat(kind.type))
        return decimalFloat(text, kind);
    return decimalInteger(text, kind);
}

QString valueText(QByteArrayView bytes, const ValueKind &kind)
{
    const quint64 bits = fromBigEndian(bytes);
    switch (kind.type) {
    case ValueType::Bit:
        return bits != 0 ? QStringLiteral("1") : QStringLiteral("0");
    case ValueType::U16:
    case ValueType::U32:
    case ValueType::U64:
        return QString::number(bits);
    case ValueType::I16:
        return QString::number(qint16(bits));
    case ValueType::I32:
        return QString::number(qint32(bits));
    case ValueType::I64:
        return QString::number(qint64(bits));
    case ValueType::F32:
        return floatText<float>(quint32(bits), bytes);
    case ValueType::F64:
        return floatText<double>(bits, bytes);
    case ValueType::Str: {
        QByteArrayView text = bytes;
        while (!text.isEmpty() && text.back() == '\0')
            text.chop(1);
        const QString decoded = QString::fromUtf8(text);
        // Text that would not read back as these bytes is written as them.
        if (text.contains('\0') || decoded.toUtf8() != text || startsWithHexPrefix(decoded))
            return rawText(bytes);
        return decoded;
    }
    }
    return QString();
}

QByteArray reordered(QByteArrayView bytes, ByteOrder order)
{
    QByteArray out(bytes.size(), Qt::Uninitialized);
    const qsizetype words = bytes.size() / 2;
    for (qsizetype w = 0; w < words; ++w) {
        const bool wordsReversed = order == ByteOrder::CDAB || order == ByteOrder::DCBA;
        const bool bytesSwapped = order == ByteOrder::BADC || order == ByteOrder::DCBA;
        const qsizetype from = wordsReversed ? words - 1 - w : w;
        out[2 * w] = bytes[2 * from + (bytesSwapped ? 1 : 0)];
        out[2 * w + 1] = bytes[2 * from + (bytesSwapped ? 0 : 1)];
    }
    if (bytes.size() % 2 != 0)
        out[bytes.size() - 1] = bytes.back();
    return out;
}

} // namespace tallowick
