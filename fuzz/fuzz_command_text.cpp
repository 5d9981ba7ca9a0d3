// Command text to frame, CRC-16 and frame text.
#include "engine/command_text.h"
#include "frames/crc.h"
#include "fuzz_check.h"

#include <algorithm>

using namespace tallowick;

namespace {

bool isAsciiHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A frame built from any data bytes carries its own CRC and reads back from
// its frame text.
void checkFrame(const QByteArray &data)
{
    FUZZ_CHECK(buildFrame(data, false) == data);

    const QByteArray frame = buildFrame(data, true);
    FUZZ_CHECK(frame.size() == data.size() + 2 && frame.startsWith(data));
    // The routine skips the last two bytes, so the frame itself gives its CRC...
    const quint16 crc = CRC16(frame);
    FUZZ_CHECK(quint8(frame[frame.size() - 2]) == (crc & 0xFF));
    FUZZ_CHECK(quint8(frame[frame.size() - 1]) == (crc >> 8));
    // ...and CRC-16/MODBUS run over a frame and its CRC leaves the residue 0.
    FUZZ_CHECK(CRC16(frame + QByteArray(2, '\0')) == 0);

    const QString text = frameText(frame, true);
    FUZZ_CHECK(text.size() == 2 * frame.size() + 1);
    FUZZ_CHECK(text.count(u' ') == 1 && text.indexOf(u' ') == text.size() - 5);
    QString digits = text;
    digits.remove(u' ');
    FUZZ_CHECK(digits == digits.toUpper());
    const auto back = textToFrame(digits);
    FUZZ_CHECK(back && *back == frame);

    const QString plain = frameText(data, false);
    FUZZ_CHECK(plain.size() == 2 * data.size() && !plain.contains(u' '));
    const auto built = commandFrame(plain, true);
    FUZZ_CHECK(built && built->bytes == frame && built->text == text);
}

void checkCommandText(const QString &text)
{
    const bool allHex = std::all_of(text.begin(), text.end(), isAsciiHexDigit);
    const auto data = textToFrame(text);
    FUZZ_CHECK(data.has_value() == allHex);
    FUZZ_CHECK(commandFrame(text, false).has_value() == allHex);
    const auto withCrc = commandFrame(text, true);
    FUZZ_CHECK(withCrc.has_value() == allHex);
    if (!data)
        return;

    FUZZ_CHECK(data->size() == (text.size() + 1) / 2);
    // Without a CRC the frame text is the line in upper case, an odd last
    // digit standing as a byte of its own.
    QString expected = text.toUpper();
    if (text.size() % 2)
        expected.insert(expected.size() - 1, u'0');
    FUZZ_CHECK(frameText(*data, false) == expected);
    FUZZ_CHECK(commandFrame(text, false)->text == expected);
    FUZZ_CHECK(withCrc->bytes == buildFrame(*data, true));
    checkFrame(*data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkCommandText(fuzz::utf8Text(data, size));
    checkCommandText(fuzz::utf16Text(data, size));
    checkFrame(fuzz::bytes(data, size));
    return 0;
}
