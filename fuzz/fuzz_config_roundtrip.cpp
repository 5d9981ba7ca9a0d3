// Configuration files read, written and read again: what the loader gives is
// what the slot writer and the export writer write back.
#include "config/code_page.h"
#include "config/config_format.h"
#include "fuzz_check.h"
#include "loaded_values.h"

#include <array>
#include <utility>
#include <vector>

using namespace tallowick;

namespace {

constexpr std::array<int, 5> codePages{950, 65001, 1252, 932, 936};

// A value a file can carry unchanged: the code page holds it, it fits the
// read buffer, and it has no line break, NUL, or blanks at its ends.
bool keepsUnchanged(const QString &value, int codePage)
{
    if (value.contains(QChar(0)) || value.contains(u'\r') || value.contains(u'\n'))
        return false;
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    if (!value.isEmpty() && (blank(value.front()) || blank(value.back())))
        return false;
    const QByteArray encoded = codepage::encode(value, codePage);
    return encoded.size() < valueBufferSize && codepage::decode(encoded, codePage) == value;
}

// A value cut at the end of the read buffer may end in a blank, which the
// next read drops like any blank before a line break.
QStringList withoutTrailingBlanks(QStringList values)
{
    for (QString &value : values) {
        while (value.endsWith(u' ') || value.endsWith(u'\t'))
            value.chop(1);
    }
    return values;
}

// Read, write into the same file, read again: the values come back, and
// writing them once more changes no byte.
void checkFileRoundTrip(const QByteArray &file, int codePage)
{
    const QStringList values = fuzz::loadedValues(file, codePage);
    const QByteArray written = slotFileWith(file, values, codePage);
    const QStringList again = configValuesFromFile(written, codePage);
    FUZZ_CHECK(again == withoutTrailingBlanks(values));
    if (again == values)
        FUZZ_CHECK(slotFileWith(written, again, codePage) == written);
}

// The exported names differ from the slot names in letter case only.
QByteArray withSlotKeys(QByteArray file)
{
    // The lines' starts to swap depend on no input: made once.
    static const auto renamed = [] {
        std::vector<std::pair<QByteArray, QByteArray>> starts;
        for (const ConfigValueNames &key : configValueNames()) {
            if (key.exportKey != key.slotKey)
                starts.emplace_back("\r\n" + key.exportKey + '=', "\r\n" + key.slotKey + '=');
        }
        return starts;
    }();
    for (const auto &[exportStart, slotStart] : renamed)
        file.replace(exportStart, slotStart);
    return file;
}

// Values typed into the boxes, one per line of the input: a new slot file and
// an export hold one line per value, and each value that the file can carry
// comes back unchanged.
void checkTypedValues(const QString &text, int codePage)
{
    QStringList values = text.split(u'\n');
    while (values.size() > configValueCount)
        values.removeLast();
    while (values.size() < configValueCount)
        values << QString();

    const QByteArray slot = slotFileWith({}, values, codePage);
    FUZZ_CHECK(slot.startsWith("[SETTINGS]\r\n") && slot.endsWith("\r\n"));
    FUZZ_CHECK(slot.count('\n') == 1 + configValueCount &&
               slot.count('\r') == 1 + configValueCount);
    FUZZ_CHECK(withSlotKeys(exportedFile(values, codePage)) == slot);
    const QStringList back = configValuesFromFile(slot, codePage);
    for (int i = 0; i < configValueCount; ++i) {
        if (back[i] != values[i])
            FUZZ_CHECK(!keepsUnchanged(values[i], codePage));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Both checks handle all 39 values, which makes them slow under the
    // sanitizers; the length picks one of them and the code page, so that a
    // few inserted or erased bytes reach every combination.
    const int codePage = codePages[size / 2 % codePages.size()];
    if (size % 2 == 0)
        checkFileRoundTrip(fuzz::bytes(data, size), codePage);
    else
        checkTypedValues(fuzz::utf8Text(data, size), codePage);
    return 0;
}
