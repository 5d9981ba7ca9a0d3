#include "config/code_page.h"

#include <QStringDecoder>
#include <QtGlobal>
#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <optional>
#include <vector>

namespace tallowick::codepage {

namespace {

struct LanguageCodePage
{
    const char *language;
    int codePage;
};

// The ANSI code page Windows gives each language. Languages missing here get
// 1252, as Windows gives most Latin-script languages.
constexpr LanguageCodePage languageCodePages[] = {
    {"ja", 932},   {"ko", 949},   {"th", 874},  {"cs", 1250}, {"hu", 1250}, {"pl", 1250},
    {"ro", 1250},  {"sk", 1250},  {"sl", 1250}, {"hr", 1250}, {"sq", 1250}, {"bs", 1250},
    {"tk", 1250},  {"ru", 1251},  {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"mk", 1251},
    {"sr", 1251},  {"kk", 1251},  {"ky", 1251}, {"tt", 1251}, {"mn", 1251}, {"ba", 1251},
    {"sah", 1251}, {"tg", 1251},  {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"uz", 1254},
    {"he", 1255},  {"iw", 1255},  {"ar", 1256}, {"fa", 1256}, {"ur", 1256}, {"ug", 1256},
    {"ckb", 1256}, {"prs", 1256}, {"et", 1257}, {"lv", 1257}, {"lt", 1257}, {"vi", 1258},
};

constexpr int westernEuropean = 1252;

qsizetype utf8SequenceLength(uchar lead)
{
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    if (lead >= 0xE0)
        return 3;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// The length of the well-formed UTF-8 sequence that bytes start with, or 0.
// Well-formed: no overlong forms, no surrogates, nothing beyond U+10FFFF.
qsizetype wellFormedUtf8Length(const uchar *bytes, qsizetype available)
{
    const uchar lead = bytes[0];
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (available < length || bytes[1] < low || bytes[1] > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (bytes[i] < 0x80 || bytes[i] > 0xBF)
            return 0;
    }
    return length;
}

qsizetype characterLength(uchar lead, int codePage)
{
    switch (codePage) {
    case 932:
        return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
    case 936:
    case 949:
    case 950:
        return lead >= 0x81 && lead <= 0xFE ? 2 : 1;
    case utf8:
        return lead >= 0xC0 && lead <= 0xF7 ? utf8SequenceLength(lead) : 1;
    default:
        return 1;
    }
}

// QString::fromUtf8 drops a byte-order mark at the start, which in a value is
// a character like any other: dropped, it would let the blanks after it be
// trimmed away on the next save.
QString fromUtf8KeepingBom(QByteArrayView utf8Text)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(utf8Text);
}

enum class Direction { FromUtf8, ToUtf8 };

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

bool isAnsiCodePage(int codePage)
{
    if (codePage == traditionalChinese || codePage == 936 || codePage == westernEuropean)
        return true;
    for (const auto &entry : languageCodePages) {
        if (entry.codePage == codePage)
            return true;
    }
    return false;
}

// Whether the descriptor gives every ASCII character back as itself, one by
// one and all in a row; then text that is all ASCII needs no conversion. Asked
// of iconv rather than assumed, and only of the ANSI code pages, which have no
// shift states that could make a row of characters differ from each alone.
bool keepsAscii(iconv_t cd)
{
    char ascii[128];
    for (int c = 0; c < 128; ++c)
        ascii[c] = char(c);
    auto same = [cd](const char *text, std::size_t size) {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char out[256];
        char *in = const_cast<char *>(text);
        std::size_t inLeft = size;
        char *outPtr = out;
        std::size_t outLeft = sizeof out;
        if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == std::size_t(-1) || inLeft != 0 ||
            iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == std::size_t(-1))
            return false;
        return std::size_t(outPtr - out) == size && std::memcmp(out, text, size) == 0;
    };
    for (int c = 0; c < 128; ++c) {
        if (!same(ascii + c, 1))
            return false;
    }
    return same(ascii, sizeof ascii);
}

struct Converter
{
    iconv_t cd; // (iconv_t)-1 when iconv lacks the code page
    bool keepsAscii;
};

// A file's values are converted one by one, and opening an iconv descriptor
// costs more than converting a value with it: each thread keeps the ones it
// opened, one a code page and direction. A code page iconv lacks is
// remembered as such.
class Converters
{
public:
    Converters() = default;
    Converters(const Converters &) = delete;
    Converters &operator=(const Converters &) = delete;
    ~Converters()
    {
        for (const Entry &entry : m_entries) {
            if (entry.converter.cd != failed())
                iconv_close(entry.converter.cd);
        }
    }

    static iconv_t failed() { return reinterpret_cast<iconv_t>(-1); }

    Converter get(int codePage, Direction direction)
    {
        for (const Entry &entry : m_entries) {
            if (entry.codePage == codePage && entry.direction == direction)
                return entry.converter;
        }
        const QByteArray name =
            codePage == utf8 ? QByteArrayLiteral("UTF-8") : "CP" + QByteArray::number(codePage);
        const iconv_t cd = direction == Direction::FromUtf8 ? iconv_open(name.constData(), "UTF-8")
                                                            : iconv_open("UTF-8", name.constData());
        const Converter converter{cd, cd != failed() && isAnsiCodePage(codePage) && keepsAscii(cd)};
        m_entries.push_back({codePage, direction, converter});
        return converter;
    }

private:
    struct Entry
    {
        int codePage;
        Direction direction;
        Converter converter;
    };
    std::vector<Entry> m_entries;
};

Converter converter(int codePage, Direction direction)
{
    thread_local Converters converters;
    return converters.get(codePage, direction);
}

// Runs iconv over the whole input. A sequence it cannot convert becomes "?"
// in the output and is skipped, so that one bad character never loses the rest.
std::optional<QByteArray> convert(iconv_t cd, Direction direction, QByteArrayView input)
{
    if (cd == Converters::failed())
        return std::nullopt;
    // The descriptor was used before: back to the initial state, as a new one.
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    // What a UTF-8 character is skipped as: the text to encode is UTF-8, the
    // bytes to decode are in the code page.
    const bool skipUtf8Character = direction == Direction::FromUtf8;

    // Room for what the ANSI code pages make of the input: a character of UTF-8
    // text becomes no more bytes than it had, a byte of the code page at most
    // three bytes of UTF-8. Anything longer makes room as it goes.
    const qsizetype bytesPerByte = direction == Direction::FromUtf8 ? 1 : 3;
    QByteArray out(input.size() * bytesPerByte + 16, Qt::Uninitialized);
    char *in = const_cast<char *>(input.data());
    size_t inLeft = size_t(input.size());
    qsizetype used = 0;
    auto room = [&](qsizetype needed) {
        if (out.size() - used < needed)
            out.resize(qMax(out.size() * 2, used + needed));
    };
    bool flushing = false;
    for (;;) {
        char *outPtr = out.data() + used;
        size_t outLeft = size_t(out.size() - used);
        // A last call with no input flushes what a stateful converter holds back.
        const size_t result = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                       : iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = outPtr - out.data();
        if (result != size_t(-1)) {
            if (flushing)
                break;
            flushing = true;
            continue;
        }
        if (errno == E2BIG) {
            room(out.size());
            continue;
        }
        if (flushing)
            break;
        // EILSEQ or EINVAL: a byte sequence or character the other side lacks.
        room(1);
        out[used++] = '?';
        const qsizetype length = skipUtf8Character ? utf8SequenceLength(uchar(*in)) : qsizetype(1);
        const size_t skipped = qMin(size_t(length), inLeft);
        in += skipped;
        inLeft -= skipped;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.truncate(used);
    return out;
}

} // namespace

int forLocale(QByteArrayView localeName)
{
    QByteArray name = localeName.toByteArray();
    QByteArray modifier;
    if (const qsizetype at = name.indexOf('@'); at >= 0) {
        modifier = name.mid(at + 1).toLower();
        name.truncate(at);
    }
    if (const qsizetype dot = name.indexOf('.'); dot >= 0)
        name.truncate(dot);
    const qsizetype underscore = name.indexOf('_');
    const QByteArray language = (underscore >= 0 ? name.left(underscore) : name).toLower();
    const QByteArray territory =
        underscore >= 0 ? name.mid(underscore + 1).toUpper() : QByteArray();

    if (language.isEmpty() || language == "c" || language == "posix")
        return traditionalChinese;
    if (language == "zh") {
        const bool traditional = territory == "TW" || territory == "HK" || territory == "MO";
        return traditional ? traditionalChinese : 936;
    }
    // Scripts chosen by the modifier, where the language's default script differs.
    if (modifier == "latin")
        return language == "uz" || language == "az" ? 1254 : 1250;
    if (modifier == "cyrillic")
        return 1251;
    for (const auto &entry : languageCodePages) {
        if (language == entry.language)
            return entry.codePage;
    }
    return westernEuropean;
}

int systemAnsi()
{
    // The same order in which the C library picks the character-type locale.
    for (const char *variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QByteArray value = qgetenv(variable);
        if (!value.isEmpty())
            return forLocale(value);
    }
    return forLocale({});
}

QByteArray encode(const QString &text, int codePage)
{
    // Most values are empty, and empty they stay in every code page.
    if (text.isEmpty())
        return {};
    const QByteArray utf8Text = text.toUtf8();
    if (codePage == utf8)
        return utf8Text;
    const Converter fromUtf8 = converter(codePage, Direction::FromUtf8);
    if (fromUtf8.keepsAscii && isAscii(utf8Text))
        return utf8Text;
    if (auto converted = convert(fromUtf8.cd, Direction::FromUtf8, utf8Text))
        return *converted;
    return text.toLatin1();
}

QString decode(QByteArrayView bytes, int codePage)
{
    if (bytes.isEmpty())
        return {};
    // Command lines, addresses and numbers are ASCII, which UTF-8 and the
    // code pages that keep it read as Latin-1 does.
    if (isAscii(bytes) && (codePage == utf8 || converter(codePage, Direction::ToUtf8).keepsAscii))
        return QString::fromLatin1(bytes);
    if (codePage == utf8) {
        // Checked here rather than by iconv, whose UTF-8 reader lets code
        // points beyond U+10FFFF and the old five- and six-byte forms through.
        // Those became one U+FFFD each, three bytes on the next save, so a
        // value near the read buffer's end grew past it and lost its end.
        // Every byte that starts no well-formed character reads as "?", as
        // in the other code pages.
        const auto *in = reinterpret_cast<const uchar *>(bytes.data());
        QByteArray checked;
        checked.reserve(bytes.size());
        for (qsizetype at = 0; at < bytes.size();) {
            const qsizetype length = wellFormedUtf8Length(in + at, bytes.size() - at);
            if (length == 0) {
                checked += '?';
                ++at;
            } else {
                checked.append(bytes.sliced(at, length));
                at += length;
            }
        }
        return fromUtf8KeepingBom(checked);
    }
    if (auto converted =
            convert(converter(codePage, Direction::ToUtf8).cd, Direction::ToUtf8, bytes))
        return fromUtf8KeepingBom(*converted);
    return QString::fromLatin1(bytes);
}

qsizetype prefixLength(QByteArrayView bytes, qsizetype maxBytes, int codePage)
{
    if (bytes.size() <= maxBytes)
        return bytes.size();
    qsizetype length = 0;
    while (length < bytes.size()) {
        const qsizetype next = length + characterLength(uchar(bytes[length]), codePage);
        if (next > maxBytes)
            break;
        length = next;
    }
    return length;
}

} // namespace tallowick::codepage
