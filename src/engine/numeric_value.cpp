#include "engine/numeric_value.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

namespace tallowick {

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

} // namespace

double numericValue(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skip = [&] {
        while (i < n && isSkipped(text[i]))
            ++i;
    };

    skip();
    if (i + 1 < n && text[i] == u'&' && (text[i + 1] == u'H' || text[i + 1] == u'h')) {
        i += 2;
        double value = 0;
        for (;; ++i) {
            skip();
            if (i >= n)
                break;
            const char16_t c = text[i].toUpper().unicode();
            int digit = -1;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        return value;
    }

    // Collect the digits and convert them in one go, so that
    // fractions come out exactly as a decimal literal would.
    std::string literal;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        literal.push_back(char(text[i].unicode()));
        ++i;
    }
    bool seenPoint = false;
    bool seenDigit = false;
    for (;; ++i) {
        skip();
        if (i >= n)
            break;
        const QChar c = text[i];
        if (c == u'.' && !seenPoint) {
            seenPoint = true;
            literal.push_back('.');
            continue;
        }
        if (c < u'0' || c > u'9')
            break;
        seenDigit = true;
        literal.push_back(char(c.unicode()));
    }
    if (!seenDigit)
        return 0;
    // from_chars ignores the C locale, whose decimal point may not be '.'.
    const bool negative = !literal.empty() && literal.front() == '-';
    const char *first =
        literal.data() + ((literal.front() == '-' || literal.front() == '+') ? 1 : 0);
    double value = 0;
    const auto result = std::from_chars(first, literal.data() + literal.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large, or so small that it is zero.
        const auto whole = std::string_view(first).substr(0, std::string_view(first).find('.'));
        value = whole.find_first_not_of('0') == std::string_view::npos ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

double roundHalfEven(double value)
{
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

std::optional<long long> wholeValueIn(QStringView text, long long minimum, long long maximum)
{
    const double rounded = roundHalfEven(numericValue(text));
    if (!std::isfinite(rounded) || rounded < double(minimum) || rounded > double(maximum))
        return std::nullopt;
    return static_cast<long long>(rounded);
}

bool isWholeNumber(double value)
{
    return std::isfinite(value) && std::floor(value) == value;
}

} // namespace tallowick
