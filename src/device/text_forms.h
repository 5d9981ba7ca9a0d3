#pragma once

#include "frames/frame_text.h"

// The small pieces of text the map and the rules both read: names from a
// fixed list, in any case, and hexadecimal digits.

#include <QByteArray>
#include <QStringView>
#include <array>
#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

namespace tallowick {

// Where `text` stands in `names`, compared without case.
template <std::size_t N>
std::optional<std::size_t> nameIndex(QStringView text, const std::array<const char *, N> &names)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (text.compare(QLatin1StringView(names[i]), Qt::CaseInsensitive) == 0)
            return i;
    }
    return std::nullopt;
}

// Decimal digits alone (no sign, no blank, no digits of other scripts), the
// number at most `most`; nothing otherwise.
std::optional<quint64> decimalNumber(QStringView text,
                                     quint64 most = std::numeric_limits<quint64>::max());

// Two digits a byte, in either case, nothing else: an odd count, a blank or
// any other character gives nothing (QByteArray::fromHex would skip it).
std::optional<QByteArray> hexBytes(QStringView digits);

// first..last, both included.
struct NumberSpan
{
    int first = 0;
    int last = 0;
    bool operator==(const NumberSpan &) const = default;
};

// "1,5-7" (or "1/5-7"): items separated by `separator`, each a number or a
// range of two, as `number` reads a number; nothing when an item is neither
// or a range runs backwards.
template <typename Number>
std::optional<std::vector<NumberSpan>> numberSpans(QStringView text, QChar separator, Number number)
{
    std::vector<NumberSpan> list;
    for (QStringView item : text.split(separator)) {
        const qsizetype dash = item.indexOf(u'-');
        const auto first = number(dash < 0 ? item : item.first(dash));
        const auto last = dash < 0 ? first : number(item.sliced(dash + 1));
        if (!first || !last || *last < *first)
            return std::nullopt;
        list.push_back({int(*first), int(*last)});
    }
    return list;
}

} // namespace tallowick
