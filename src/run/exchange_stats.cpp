// The --summary tallies, kept as the run goes so that the summary at its end
// costs one walk over each histogram.
#include "run/exchange_stats.h"

namespace tallowick {

namespace {

constexpr std::array<const char16_t *, exchangeOutcomeCount> outcomeNames{
    u"ok",       u"wrong-crc",   u"too-short",  u"exception",   u"unexpected",
    u"no-reply", u"link-failed", u"bad-header", u"interrupted",
};

} // namespace

QString outcomeName(ExchangeOutcome outcome)
{
    return QString::fromUtf16(outcomeNames[std::size_t(outcome)]);
}

void ExchangeTally::record(ExchangeOutcome outcome, std::optional<std::chrono::microseconds> time)
{
    ++m_counts[std::size_t(outcome)];
    ++m_exchanges;
    if (time)
        m_times.add(*time);
}

void ExchangeStats::record(int line, ExchangeOutcome outcome,
                           std::optional<std::chrono::microseconds> time)
{
    m_lines[line].record(outcome, time);
    m_total.record(outcome, time);
}

} // namespace tallowick
