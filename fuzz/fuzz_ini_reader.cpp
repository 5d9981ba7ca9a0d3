// The INI reader on arbitrary file bytes, and a change of one value in place.
#include "config/code_page.h"
#include "config/config_format.h"
#include "config/ini_profile.h"
#include "fuzz_check.h"

#include <algorithm>
#include <array>
#include <optional>

using namespace tallowick;

namespace {

const QByteArray section = QByteArrayLiteral("SETTINGS");
const QByteArray utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// The code pages whose files differ most: double-byte ones with trail bytes
// in the ASCII range, a single-byte one with holes, and UTF-8.
constexpr std::array<int, 5> codePages{950, 65001, 1252, 932, 936};

using Values = std::array<std::optional<QByteArray>, configValueCount>;

Values rawValues(const IniProfile &profile)
{
    Values values;
    for (int i = 0; i < configValueCount; ++i)
        values[i] = profile.value(section, configKeys()[i].slotKey);
    return values;
}

QByteArray trimmedBlanks(QByteArray text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return text.sliced(begin, end - begin);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file = fuzz::bytes(data, size);
    const int codePage = codePages[size % codePages.size()];

    // Reading changes nothing: the profile gives back every byte it was given.
    IniProfile profile(file);
    FUZZ_CHECK(profile.bytes() == file);
    FUZZ_CHECK(profile.hasUtf8Bom() == file.startsWith(utf8Bom));

    const QStringList values = configValuesFromFile(file, codePage);
    FUZZ_CHECK(values.size() == configValueCount);
    for (const QString &value : values) {
        FUZZ_CHECK(!value.contains(QChar(0)) && !value.contains(u'\r') && !value.contains(u'\n'));
        // The read buffer holds 255 bytes; even a value whose bytes became "?"
        // has no more characters than that.
        FUZZ_CHECK(value.size() < valueBufferSize);
    }

    // A cut for the read buffer never goes past it, and gives up no more than
    // the bytes of one unfinished character.
    for (const int page : codePages) {
        const qsizetype limit = std::min<qsizetype>(file.size(), valueBufferSize - 1);
        const qsizetype cut = codepage::prefixLength(file, valueBufferSize - 1, page);
        FUZZ_CHECK(cut <= limit && cut >= limit - (page == codepage::utf8 ? 3 : 1));
        FUZZ_CHECK(file.size() >= valueBufferSize || cut == file.size());
    }
    // Any locale name gives one of the Windows ANSI code pages.
    static const QList<int> ansiCodePages{874,  932,  936,  949,  950,  1250, 1251,
                                          1252, 1253, 1254, 1255, 1256, 1257, 1258};
    FUZZ_CHECK(ansiCodePages.contains(codepage::forLocale(file.left(64))));

    // Keys match without regard to letter case, so the exported names find
    // the same values.
    const Values before = rawValues(profile);
    for (int i = 0; i < configValueCount; ++i)
        FUZZ_CHECK(profile.value("settings", configKeys()[i].exportKey) == before[i]);

    // One value changed: it reads back as written (a line break turned into a
    // blank, cut at a NUL, blanks dropped at the ends), every other value stays,
    // and the file reads the same once more.
    const int changed = size > 0 ? data[0] % configValueCount : 0;
    const QByteArray written = file.sliced(file.size() / 2);
    profile.setValue(section, configKeys()[changed].slotKey, written);
    QByteArray expected = written;
    if (const qsizetype nul = expected.indexOf('\0'); nul >= 0)
        expected.truncate(nul);
    expected.replace('\r', ' ').replace('\n', ' ');
    const Values after = rawValues(profile);
    for (int i = 0; i < configValueCount; ++i) {
        if (i == changed)
            FUZZ_CHECK(after[i] == trimmedBlanks(expected));
        else
            FUZZ_CHECK(after[i] == before[i]);
    }
    const QByteArray out = profile.bytes();
    const IniProfile reread(out);
    FUZZ_CHECK(reread.bytes() == out);
    FUZZ_CHECK(rawValues(reread) == after);

    // Every other byte of the file stays where it was: a key that stood in
    // the file has only its own line rewritten, a new one is inserted whole.
    const qsizetype shorter = std::min(file.size(), out.size());
    qsizetype prefix = 0;
    while (prefix < shorter && file[prefix] == out[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           file[file.size() - 1 - suffix] == out[out.size() - 1 - suffix])
        ++suffix;
    if (before[changed]) {
        for (const QByteArray &whole : {file, out}) {
            const QByteArray middle = whole.sliced(prefix, whole.size() - suffix - prefix);
            FUZZ_CHECK(!middle.contains('\r') && !middle.contains('\n'));
        }
    } else {
        FUZZ_CHECK(prefix + suffix == file.size());
    }
    return 0;
}
