#pragma once

// Response times kept for a summary over a run of any length: nothing here
// grows with their number.

#include <QString>
#include <QtGlobal>
#include <array>
#include <chrono>
#include <cstddef>
#include <vector>

namespace tallowick {

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
    // What a summary of the runner or the monitor gives, in its order: min,
    // median, p99, max.
    std::array<std::chrono::microseconds, 4> summaryFigures() const
    {
        return {min(), median(), percentile(99), max()};
    }

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

// Microseconds as milliseconds with three decimals: 1234567 gives "1234.567".
QString millis3(qint64 microseconds);

} // namespace tallowick
