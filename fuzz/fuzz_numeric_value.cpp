// Numeric values of text fields, their rounding, and the checks built on them.
#include "engine/numeric_value.h"
#include "engine/send_checks.h"
#include "fuzz_check.h"

#include <cfenv>
#include <cmath>
#include <limits>

using namespace tallowick;

namespace {

bool sameValue(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

void checkRounding(double value)
{
    const double rounded = roundHalfEven(value);
    if (!std::isfinite(value)) {
        FUZZ_CHECK(sameValue(rounded, value));
        return;
    }
    FUZZ_CHECK(isWholeNumber(rounded));
    const double distance = std::fabs(rounded - value);
    FUZZ_CHECK(distance <= 0.5);
    if (distance == 0.5)
        FUZZ_CHECK(std::fmod(rounded, 2.0) == 0);
    FUZZ_CHECK(isWholeNumber(value) == (rounded == value));
}

void checkText(const QString &text)
{
    const int rounding = std::fegetround();
    const double value = numericValue(text);
    FUZZ_CHECK(!std::isnan(value));
    FUZZ_CHECK(std::fegetround() == rounding);
    checkRounding(value);

    // Blanks, tabs and line feeds before the number are skipped, and the
    // number ends at a character that belongs to none.
    FUZZ_CHECK(sameValue(numericValue(QStringLiteral(" \t\n") + text), value));
    FUZZ_CHECK(sameValue(numericValue(text + u'x'), value));
    qsizetype first = 0;
    while (first < text.size() && QStringView(u" \t\n").contains(text[first]))
        ++first;
    if (first < text.size() &&
        ((text[first] >= u'0' && text[first] <= u'9') || text[first] == u'.')) {
        FUZZ_CHECK(sameValue(numericValue(u'-' + text), -value));
    }

    for (const auto &[minimum, maximum] :
         {std::pair<long long, long long>{0, 15}, {1, 65535}, {-32768, 32767}, {1, 2147483647}}) {
        const auto whole = wholeValueIn(text, minimum, maximum);
        const double rounded = roundHalfEven(value);
        FUZZ_CHECK(whole.has_value() == (rounded >= double(minimum) && rounded <= double(maximum)));
        if (whole)
            FUZZ_CHECK(double(*whole) == rounded);
    }

    if (const auto interval = replyTimerInterval(text)) {
        FUZZ_CHECK(interval->count() >= 1 && interval->count() <= std::numeric_limits<int>::max());
        FUZZ_CHECK(value > 1 ? double(interval->count()) == roundHalfEven(value)
                             : interval->count() == 1);
    } else {
        FUZZ_CHECK(value > 1 && !(roundHalfEven(value) <= std::numeric_limits<int>::max()));
    }
    const auto port = tcpPort(text);
    FUZZ_CHECK(port.has_value() == (isWholeNumber(value) && value >= 1 && value <= 65535));
    if (port)
        FUZZ_CHECK(double(*port) == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkText(fuzz::utf8Text(data, size));
    checkText(fuzz::utf16Text(data, size));
    double raw = 0;
    if (size >= sizeof raw) {
        std::memcpy(&raw, data, sizeof raw);
        checkRounding(raw);
    }
    return 0;
}
