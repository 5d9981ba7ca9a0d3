#pragma once

// The tallies behind --summary: how each exchange of a run ended, per command
// line and in total, and how long its replies took. A soak test runs for a
// million exchanges and more, so nothing here grows with their number: the
// response times go into a histogram of bounded size, not a list.

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
std::optional<ExchangeOutcome> outcomeFromName(QStringView name);

// Response times in microseconds, in a log-linear histogram: every time below
// 2048 us is kept exactly; above, each power of two is cut into 1024 buckets,
// so a bucket is narrower than 1/1024 of the times in it, and a time reads
// back as its bucket's middle: off by at most 1/2048 of itself (0.05 %: at
// most 49 us at 100 ms). Times from 2^41 us (25 days) on share the last
// bucket. min and max are exact always.
//
// Percentiles are by nearest rank: the p-th percentile of n times is the
// ceil(p * n / 100)-th smallest (at least the first). The median is the 50th
// percentile, for an even count the lower of the two middle times, which is
// a time that occurred rather than a mean of two.
//
// The buckets are allocated a power of two at a time, when a time first falls
// into it: 8 KiB for the exact times, 4 KiB for each power above, at most
// 128 KiB in all, however many times are added. A run's times span a few
// powers of two (its reply time-out bounds them), so a histogram takes a few
// tens of KiB. A bucket counts up to 2^32 - 1 times.
class ResponseTimes
{
public:
    void add(std::chrono::microseconds time);

    quint64 count() const { return m_count; }
    // All of these are 0 us while no time was added.
    std::chrono::microseconds min() const { return m_min; }
    std::chrono::microseconds max() const { return m_max; }
    std::chrono::microseconds median() const { return percentile(50); }
    // percent from 1 to 100.
    std::chrono::microseconds percentile(int percent) const;

    // The memory the buckets take.
    std::size_t footprintBytes() const;

    static constexpr int subBucketBits = 10;
    static constexpr qint64 exactBelow = qint64(2) << subBucketBits; // 2048 us
    static constexpr int blockCount = 31;

private:
    std::array<std::vector<quint32>, blockCount> m_blocks;
    quint64 m_count = 0;
    std::chrono::microseconds m_min{0};
    std::chrono::microseconds m_max{0};
};

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

// Microseconds as milliseconds with three decimals: 1234567 gives "1234.567".
QString millis3(qint64 microseconds);

} // namespace tallowick
