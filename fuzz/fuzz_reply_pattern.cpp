// The --expect pattern on any text a command line can carry: every text is
// either refused with the forms it may take, or read as a pattern that reads
// the same when written out again and accepts the replies it describes.
#include "frames/reply_pattern.h"
#include "fuzz_check.h"

#include <algorithm>

using namespace tallowick;

namespace {

// A pattern written out in the one form that parses back to it.
QString written(const ReplyPattern &pattern)
{
    if (const auto *exception = std::get_if<ExpectedException>(&pattern)) {
        if (!exception->code)
            return QStringLiteral("exception");
        return QStringLiteral("exception:%1").arg(*exception->code, 2, 16, QLatin1Char('0'));
    }
    QString text;
    for (const auto &byte : std::get<ExpectedBytes>(pattern).bytes)
        text += byte ? QStringLiteral("%1 ").arg(*byte, 2, 16, QLatin1Char('0'))
                     : QStringLiteral(".. ");
    return text;
}

void checkPattern(const ReplyPattern &pattern, const QString &text, QByteArrayView raw)
{
    const ParsedReplyPattern again = parseReplyPattern(written(pattern));
    FUZZ_CHECK(std::holds_alternative<ReplyPattern>(again) &&
               std::get<ReplyPattern>(again) == pattern);

    // The raw input as a reply: an exception pattern without code accepts
    // exactly the exception replies.
    const bool matched = matches(pattern, raw);
    if (const auto *exception = std::get_if<ExpectedException>(&pattern)) {
        FUZZ_CHECK(!exception->code || *exception->code != 0);
        if (!exception->code)
            FUZZ_CHECK(matched == isExceptionReply(raw));
        QByteArray reply("\x01\x83", 2);
        reply.append(char(exception->code.value_or(0x04)));
        FUZZ_CHECK(matches(pattern, reply));
        reply[1] = '\x03';
        FUZZ_CHECK(!matches(pattern, reply));
        return;
    }
    const auto &bytes = std::get<ExpectedBytes>(pattern).bytes;
    FUZZ_CHECK(!bytes.empty());
    // Every character but the blanks is half of a byte, however long the
    // pattern.
    const auto blanks =
        std::count_if(text.begin(), text.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
    FUZZ_CHECK(qsizetype(bytes.size()) * 2 == text.size() - blanks);
    FUZZ_CHECK(!matched || raw.size() == qsizetype(bytes.size()));
    // The reply it describes, any byte taken from the input; one byte more or
    // less, or a fixed byte changed, and it is no longer that reply.
    QByteArray reply;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        reply.append(char(bytes[i].value_or(raw.isEmpty() ? 0 : quint8(raw[i % raw.size()]))));
    FUZZ_CHECK(matches(pattern, reply));
    FUZZ_CHECK(!matches(pattern, reply + '\0'));
    FUZZ_CHECK(!matches(pattern, reply.chopped(1)));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i]) {
            QByteArray changed = reply;
            changed[qsizetype(i)] = char(*bytes[i] ^ 0x01);
            FUZZ_CHECK(!matches(pattern, changed));
            break;
        }
    }
}

void checkText(const QString &text, QByteArrayView raw)
{
    const ParsedReplyPattern parsed = parseReplyPattern(text);
    FUZZ_CHECK(parseReplyPattern(text) == parsed);
    if (const auto *error = std::get_if<ReplyPatternError>(&parsed)) {
        FUZZ_CHECK(error->text.endsWith(QStringLiteral("; ") + replyPatternForms()));
        const bool onlyBlanks =
            std::all_of(text.begin(), text.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
        FUZZ_CHECK((error->reason == ReplyPatternError::Empty) == onlyBlanks);
        // The refusal says what kind of fault it is and quotes the piece of
        // the text where it found it.
        const QString why = error->text.chopped(2 + replyPatternForms().size());
        const auto quotes = [&](QLatin1String tail) {
            return why.size() >= 2 + tail.size() && why.startsWith(u'"') &&
                   why.endsWith(u'"' + QString(tail)) &&
                   text.contains(why.sliced(1, why.size() - 2 - tail.size()));
        };
        switch (error->reason) {
        case ReplyPatternError::Empty:
            FUZZ_CHECK(why == u"the pattern is empty");
            break;
        case ReplyPatternError::OddDigits:
            FUZZ_CHECK(quotes(QLatin1String(" has an odd number of hexadecimal digits")));
            break;
        case ReplyPatternError::NotHex:
            FUZZ_CHECK(quotes(QLatin1String(" is not a hexadecimal byte")));
            break;
        case ReplyPatternError::BadExceptionCode:
            FUZZ_CHECK(quotes(QLatin1String(" is not an exception code from 01 to FF")));
            break;
        }
        return;
    }
    checkPattern(std::get<ReplyPattern>(parsed), text, raw);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw = fuzz::bytes(data, size);
    checkText(fuzz::utf8Text(data, size), raw);
    checkText(fuzz::utf16Text(data, size), raw);
    return 0;
}
