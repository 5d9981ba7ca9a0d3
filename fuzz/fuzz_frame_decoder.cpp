// The frame decoder on any text of the decoder window's box.
#include "decoder/frame_decoder.h"
#include "fuzz_check.h"

#include <QStringList>

using namespace tallowick;

namespace {

const QString emptyLine = QStringLiteral("\r\n\r\n");

// What a decoder may write right after the empty line that follows the input.
const QStringList &openings(QStringView code)
{
    static const QStringList m03{QStringLiteral("Modbus 03 Response :)\r\n"),
                                 QStringLiteral("Modbus 03 Request :)\r\n")};
    static const QStringList m04{QStringLiteral("Modbus 04 Response :)\r\n"),
                                 QStringLiteral("Modbus 04 Request :)\r\n")};
    static const QStringList m06{QStringLiteral("Modbus 06 Function :)\r\n")};
    static const QStringList m10{QStringLiteral("Modbus 10 Requset :)\r\n"),
                                 QStringLiteral("Modbus 10 Request :)\r\n")};
    static const QStringList none;
    if (code == u"03")
        return m03;
    if (code == u"04")
        return m04;
    if (code == u"06")
        return m06;
    if (code == u"10")
        return m10;
    return none;
}

QString nonStandard(QStringView code)
{
    return QStringLiteral("Non-standard Modbus ") + code.toString() +
           QStringLiteral(" function :'(");
}

// The input stays the first part of the box, one empty line follows it, then
// either the one-line verdict or a header and at most one line per four
// digits of the longest frame a byte count can describe.
void checkDescription(const QString &text, const QString &out, QStringView code)
{
    FUZZ_CHECK(out.startsWith(text));
    const QStringView added = QStringView(out).sliced(text.size());
    FUZZ_CHECK(added.startsWith(emptyLine));
    const QStringView rest = added.sliced(emptyLine.size());
    if (rest == nonStandard(code))
        return;
    bool known = false;
    for (const QString &opening : openings(code))
        known = known || rest.startsWith(opening);
    FUZZ_CHECK(known);
    FUZZ_CHECK(added.size() <= 8000);
}

void checkText(const QString &text)
{
    const QString out = parseCommand(text);
    FUZZ_CHECK(parseCommand(text) == out);
    const QStringView code = QStringView(text).mid(2, 2);
    if (openings(code).isEmpty()) {
        FUZZ_CHECK(out == text + emptyLine + QStringLiteral("Unknow command :'("));
    } else {
        checkDescription(text, out, code);
    }
    // Each decoder on its own takes any text, whatever its function code.
    checkDescription(text, modbus03(text), u"03");
    checkDescription(text, modbus04(text), u"04");
    checkDescription(text, modbus06(text), u"06");
    checkDescription(text, modbus10(text), u"10");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkText(fuzz::utf8Text(data, size));
    checkText(fuzz::utf16Text(data, size));
    return 0;
}
