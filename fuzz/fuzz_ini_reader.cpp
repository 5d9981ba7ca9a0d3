// The INI reader on arbitrary file bytes, and a change of one value in place.
#include "config/code_page.h"
#include "config/config_format.h"
#include "config/ini_profile.h"
#include "fuzz_check.h"
#include "loaded_values.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

using namespace tallowick;

namespace {

const QByteArray section = QByteArrayLiteral("SETTINGS");
const QByteArray utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// The code pages whose files differ most: double-byte ones with trail bytes
// in the ASCII range, a single-byte one with holes, and UTF-8.
constexpr std::array<int, 5> codePages{950, 65001, 1252, 932, 936};

// Every lookup walks the whole file, and under the sanitizers walking it for
// all 39 keys several times over is what an execution would spend its time on.
// So each execution looks at three keys: the one it changes, the one after it
// (most often the next line), and one more. A hash of the whole input picks
// them, since the first and last bytes of most files are "[" and a line break;
// over many executions every key gets its turn. The three are looked up in one
// walk, as the loader looks up all of its keys; one of them is looked up on its
// own as well. That the change leaves every other line alone is checked on the
// whole file below.
constexpr std::size_t sampledKeys = 3;
using Keys = std::vector<int>;
using Values = std::vector<std::optional<QByteArray>>;

Keys keysToCheck(const uint8_t *data, size_t size)
{
    std::size_t pick = std::hash<std::string_view>{}({reinterpret_cast<const char *>(data), size});
    const int changed = int(pick % configValueCount);
    Keys keys{changed, (changed + 1) % configValueCount};
    while (keys.size() < sampledKeys && pick >= configValueCount) {
        pick /= configValueCount;
        const int key = int(pick % configValueCount);
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    }
    return keys;
}

Values rawValues(const IniProfile &profile, const Keys &keys, QByteArrayView sectionName = section,
                 QByteArray ConfigValueNames::*name = &ConfigValueNames::slotKey)
{
    std::vector<QByteArrayView> names;
    for (const int key : keys)
        names.push_back(configValueNames()[key].*name);
    return profile.values(sectionName, names);
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

    // The loader reads and decodes all 39 values, which under the sanitizers
    // costs more than everything else here; it runs on one input in sixteen,
    // picked by the length as the code page is. The round-trip harness checks
    // the same on every file it reads.
    if (size % 16 == 0)
        fuzz::loadedValues(file, codePage);

    // A cut for the read buffer never goes past it, and gives up no more than
    // the bytes of one unfinished character (in the code page the length
    // picked: each one gets a fifth of the inputs).
    {
        const qsizetype limit = std::min<qsizetype>(file.size(), valueBufferSize - 1);
        const qsizetype cut = codepage::prefixLength(file, valueBufferSize - 1, codePage);
        FUZZ_CHECK(cut <= limit && cut >= limit - (codePage == codepage::utf8 ? 3 : 1));
        FUZZ_CHECK(file.size() >= valueBufferSize || cut == file.size());
    }
    // Any locale name gives one of the Windows ANSI code pages.
    static const QList<int> ansiCodePages{874,  932,  936,  949,  950,  1250, 1251,
                                          1252, 1253, 1254, 1255, 1256, 1257, 1258};
    FUZZ_CHECK(ansiCodePages.contains(codepage::forLocale(file.left(64))));

    // Keys match without regard to letter case, so the exported names find
    // the same values.
    const Keys keys = keysToCheck(data, size);
    const int changed = keys.front();
    const Values before = rawValues(profile, keys);
    FUZZ_CHECK(before.size() == keys.size());
    FUZZ_CHECK(rawValues(profile, keys, "settings", &ConfigValueNames::exportKey) == before);
    // A key asked for alone is found where it is found among others.
    FUZZ_CHECK(profile.value(section, configValueNames()[changed].slotKey) == before[0]);

    // One value changed: it reads back as written (a line break turned into a
    // blank, cut at a NUL, blanks dropped at the ends), every other value stays,
    // and the file reads the same once more.
    const QByteArray written = file.sliced(file.size() / 2);
    profile.setValue(section, configValueNames()[changed].slotKey, written);
    QByteArray expected = written;
    if (const qsizetype nul = expected.indexOf('\0'); nul >= 0)
        expected.truncate(nul);
    expected.replace('\r', ' ').replace('\n', ' ');
    const Values after = rawValues(profile, keys);
    FUZZ_CHECK(after[0] == trimmedBlanks(expected));
    for (std::size_t k = 1; k < keys.size(); ++k)
        FUZZ_CHECK(after[k] == before[k]);
    const QByteArray out = profile.bytes();
    const IniProfile reread(out);
    FUZZ_CHECK(reread.bytes() == out);
    FUZZ_CHECK(rawValues(reread, keys) == after);

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
    if (before[0]) {
        for (const QByteArray &whole : {file, out}) {
            const QByteArray middle = whole.sliced(prefix, whole.size() - suffix - prefix);
            FUZZ_CHECK(!middle.contains('\r') && !middle.contains('\n'));
        }
    } else {
        FUZZ_CHECK(prefix + suffix == file.size());
    }
    return 0;
}
