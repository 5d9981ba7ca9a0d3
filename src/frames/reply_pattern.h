#pragma once

// What a reply must look like for --expect: an exchange whose reply answers
// but says the wrong thing (another register's value, an exception where data
// was due) is a fault a soak test must count, not a good reply.
//
// A pattern is written one of three ways:
//   hexadecimal bytes  "01 03 02 .. .."  the reply without its CRC (or MBAP
//                      header), byte for byte; ".." stands for any one byte.
//                      Digits in either case; blanks (spaces, tabs) may stand
//                      between bytes and around the whole, never inside a byte,
//                      so an odd number of digits is an error, not a guess.
//   "exception"        any exception reply.
//   "exception:CC"     an exception reply with code CC: exactly two
//                      hexadecimal digits, 01 to FF (no reply carries code 00).
// The keyword may be written in either case. An empty pattern is an error.

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <optional>
#include <variant>
#include <vector>

namespace tallowick {

// The reply byte for byte; an empty optional is "..", any byte.
struct ExpectedBytes
{
    std::vector<std::optional<quint8>> bytes;
    bool operator==(const ExpectedBytes &) const = default;
};

// An exception reply, of one code or (empty) of any.
struct ExpectedException
{
    std::optional<quint8> code;
    bool operator==(const ExpectedException &) const = default;
};

using ReplyPattern = std::variant<ExpectedBytes, ExpectedException>;

// Why a pattern was refused; text says what went wrong and what --expect takes.
struct ReplyPatternError
{
    enum Reason { Empty, OddDigits, NotHex, BadExceptionCode };
    Reason reason = Empty;
    QString text;
    bool operator==(const ReplyPatternError &) const = default;
};

using ParsedReplyPattern = std::variant<ReplyPattern, ReplyPatternError>;

ParsedReplyPattern parseReplyPattern(QStringView text);

// The pattern as --expect takes it, bytes without blanks ("0103..0005",
// "exception:02"), for a message that says what a reply did not match.
QString patternText(const ReplyPattern &pattern);

// The closing half of every refusal: the forms --expect takes.
QString replyPatternForms();

// A Modbus exception reply: unit, function code with bit 0x80 set, exception
// code. Longer frames count too: the length is the framing's business.
bool isExceptionReply(QByteArrayView replyWithoutCrc);

// True when the reply (unit id first, without CRC) is what the pattern asks for.
bool matches(const ReplyPattern &pattern, QByteArrayView replyWithoutCrc);

} // namespace tallowick
