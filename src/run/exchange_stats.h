#pragma once

// The tallies behind --summary: how each exchange of a run ended, per command
// line and in total, and how long its replies took. A soak test runs for a
// million exchanges and more, so nothing here grows with their number: the
// response times go into a histogram of bounded size, not a list.

#include "frames/response_times.h"

#include <QString>
#include <QStringView>
#include <array>
#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <vector>

namespace tallowick {

// How one exchange ended, as the summary and the log name it.
enum class ExchangeOutcome {
    Ok,          // a reply with the right CRC (and framing), as expected
    WrongCrc,    // a reply whose last two bytes are not its CRC
    TooShort,    // a reply too short to hold a CRC
    Exception,   // a Modbus exception reply where --expect did not ask for one
    Unexpected,  // a well-formed reply that does not match --expect
    NoReply,     // the time-out ended the wait
    LinkFailed,  // the link was lost or could not be used
    BadHeader,   // a Modbus TCP reply whose MBAP header is wrong
    Interrupted, // the run was stopped during the wait
};
inline constexpr std::size_t exchangeOutcomeCount = 9;

// "ok", "wrong-crc", "too-short", "exception", "unexpected", "no-reply",
// "link-failed", "bad-header", "interrupted".
QString outcomeName(ExchangeOutcome outcome);

// The outcomes and response times of a set of exchanges.
class ExchangeTally
{
public:
    // time: how long the reply took, for exchanges that had one.
    void record(ExchangeOutcome outcome, std::optional<std::chrono::microseconds> time);

    // Every recorded exchange, whatever its outcome.
    quint64 exchanges() const { return m_exchanges; }
    quint64 count(ExchangeOutcome outcome) const { return m_counts[std::size_t(outcome)]; }
    const ResponseTimes &times() const { return m_times; }

private:
    std::array<quint64, exchangeOutcomeCount> m_counts{};
    quint64 m_exchanges = 0;
    ResponseTimes m_times;
};

// A run's tallies: one per command line (by its number), and the total.
class ExchangeStats
{
public:
    void record(int line, ExchangeOutcome outcome, std::optional<std::chrono::microseconds> time);

    const ExchangeTally &total() const { return m_total; }
    const std::map<int, ExchangeTally> &lines() const { return m_lines; }

private:
    std::map<int, ExchangeTally> m_lines;
    ExchangeTally m_total;
};

} // namespace tallowick
