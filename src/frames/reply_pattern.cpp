// The --expect pattern: parsed once when the command line is read, matched
// against every reply of its line, so matching is a plain walk over the bytes.
#include "frames/reply_pattern.h"

#include "frames/frame_text.h"

namespace tallowick {

namespace {

const QLatin1StringView exceptionKeyword("exception");

// Every refusal's text is made here, so that they read alike.
ReplyPatternError refusal(ReplyPatternError::Reason reason, QStringView detail)
{
    QString why;
    switch (reason) {
    case ReplyPatternError::Empty:
        why = QStringLiteral("the pattern is empty");
        break;
    case ReplyPatternError::OddDigits:
        why = QStringLiteral("\"%1\" has an odd number of hexadecimal digits").arg(detail);
        break;
    case ReplyPatternError::NotHex:
        why = QStringLiteral("\"%1\" is not a hexadecimal byte").arg(detail);
        break;
    case ReplyPatternError::BadExceptionCode:
        why = QStringLiteral("\"%1\" is not an exception code from 01 to FF").arg(detail);
        break;
    }
    return {reason, why + QStringLiteral("; ") + replyPatternForms()};
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmedBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// Two hexadecimal digits, as an exception code or a byte.
std::optional<quint8> hexByte(QStringView two)
{
    if (two.size() != 2)
        return std::nullopt;
    const int high = hexDigit(two[0]);
    const int low = hexDigit(two[1]);
    if (high < 0 || low < 0)
        return std::nullopt;
    return quint8(high * 16 + low);
}

ParsedReplyPattern exceptionPattern(QStringView text)
{
    const QStringView rest = text.sliced(exceptionKeyword.size());
    if (rest.isEmpty())
        return ReplyPattern{ExpectedException{}};
    if (rest.front() != u':')
        return refusal(ReplyPatternError::NotHex, text);
    const QStringView code = rest.sliced(1);
    const auto value = hexByte(code);
    if (!value || *value == 0)
        return refusal(ReplyPatternError::BadExceptionCode, code);
    return ReplyPattern{ExpectedException{*value}};
}

ParsedReplyPattern bytesPattern(QStringView text)
{
    ExpectedBytes expected;
    qsizetype i = 0;
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        // A run of characters up to the next blank holds whole bytes.
        qsizetype end = i;
        while (end < text.size() && !isBlank(text[end]))
            ++end;
        const QStringView run = text.sliced(i, end - i);
        for (qsizetype at = 0; at < run.size(); at += 2) {
            if (at + 1 == run.size()) {
                const bool digit = hexDigit(run[at]) >= 0;
                return refusal(digit ? ReplyPatternError::OddDigits : ReplyPatternError::NotHex,
                               run);
            }
            const QStringView two = run.sliced(at, 2);
            if (two == u"..") {
                expected.bytes.push_back(std::nullopt);
            } else if (const auto value = hexByte(two)) {
                expected.bytes.push_back(*value);
            } else {
                return refusal(ReplyPatternError::NotHex, two);
            }
        }
        i = end;
    }
    return ReplyPattern{std::move(expected)};
}

} // namespace

QString patternText(const ReplyPattern &pattern)
{
    const auto hex = [](quint8 byte) {
        return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
    };
    if (const auto *exception = std::get_if<ExpectedException>(&pattern))
        return exception->code ? QStringLiteral("exception:") + hex(*exception->code)
                               : QStringLiteral("exception");
    QString text;
    for (const auto &byte : std::get<ExpectedBytes>(pattern).bytes)
        text += byte ? hex(*byte) : QStringLiteral("..");
    return text;
}

QString replyPatternForms()
{
    return QStringLiteral("--expect takes hexadecimal bytes, \"..\" for any byte, "
                          "\"exception\" or \"exception:CC\"");
}

ParsedReplyPattern parseReplyPattern(QStringView text)
{
    text = trimmedBlanks(text);
    if (text.isEmpty())
        return refusal(ReplyPatternError::Empty, text);
    if (text.startsWith(exceptionKeyword, Qt::CaseInsensitive))
        return exceptionPattern(text);
    return bytesPattern(text);
}

bool isExceptionReply(QByteArrayView replyWithoutCrc)
{
    return replyWithoutCrc.size() >= 3 && (quint8(replyWithoutCrc[1]) & 0x80) != 0;
}

bool matches(const ReplyPattern &pattern, QByteArrayView replyWithoutCrc)
{
    if (const auto *exception = std::get_if<ExpectedException>(&pattern)) {
        return isExceptionReply(replyWithoutCrc) &&
               (!exception->code || quint8(replyWithoutCrc[2]) == *exception->code);
    }
    const auto &expected = std::get<ExpectedBytes>(pattern).bytes;
    if (qsizetype(expected.size()) != replyWithoutCrc.size())
        return false;
    for (qsizetype i = 0; i < replyWithoutCrc.size(); ++i) {
        const auto &byte = expected[std::size_t(i)];
        if (byte && *byte != quint8(replyWithoutCrc[i]))
            return false;
    }
    return true;
}

} // namespace tallowick
