#include "frames/response_times.h"

#include <algorithm>
#include <bit>

namespace tallowick {

namespace {

constexpr qint64 subBuckets = qint64(1) << ResponseTimes::subBucketBits;
// The first time that no bucket holds on its own.
constexpr qint64 histogramEnd = subBuckets << ResponseTimes::blockCount;

// Block 0 holds the exact times below 2 * subBuckets; block k >= 1 the times
// from subBuckets << k to before subBuckets << (k + 1), 2^k to a bucket.
struct Bucket
{
    int block;
    qsizetype index;
};

Bucket bucketOf(qint64 us)
{
    if (us < ResponseTimes::exactBelow)
        return {0, qsizetype(us)};
    const int block = std::bit_width(quint64(us)) - 1 - ResponseTimes::subBucketBits;
    return {block, qsizetype((us >> block) - subBuckets)};
}

// The middle of a bucket: its first time plus half its width.
qint64 bucketMiddle(int block, qsizetype index)
{
    if (block == 0)
        return index;
    return ((subBuckets + index) << block) + (qint64(1) << (block - 1));
}

} // namespace

void ResponseTimes::add(std::chrono::microseconds time)
{
    time = std::max(time, std::chrono::microseconds(0));
    if (m_count == 0) {
        m_min = m_max = time;
    } else {
        m_min = std::min(m_min, time);
        m_max = std::max(m_max, time);
    }
    ++m_count;
    const Bucket bucket = bucketOf(std::min(qint64(time.count()), histogramEnd - 1));
    std::vector<quint32> &block = m_blocks[std::size_t(bucket.block)];
    if (block.empty())
        block.assign(std::size_t(bucket.block == 0 ? exactBelow : subBuckets), 0);
    ++block[std::size_t(bucket.index)];
}

std::chrono::microseconds ResponseTimes::percentile(int percent) const
{
    if (m_count == 0)
        return std::chrono::microseconds(0);
    percent = std::clamp(percent, 1, 100);
    const quint64 rank = std::max<quint64>(1, (quint64(percent) * m_count + 99) / 100);
    // The least and the greatest time are kept exactly: a percentile that
    // falls on one of them (p99 of fewer than 100 times) is that time, not its
    // bucket's middle.
    if (rank == m_count)
        return m_max;
    if (rank == 1)
        return m_min;
    quint64 seen = 0;
    for (int block = 0; block < blockCount; ++block) {
        const std::vector<quint32> &counts = m_blocks[std::size_t(block)];
        for (std::size_t index = 0; index < counts.size(); ++index) {
            seen += counts[index];
            if (seen >= rank) {
                const std::chrono::microseconds middle(bucketMiddle(block, qsizetype(index)));
                return std::clamp(middle, m_min, m_max);
            }
        }
    }
    return m_max;
}

std::size_t ResponseTimes::footprintBytes() const
{
    std::size_t bytes = 0;
    for (const std::vector<quint32> &block : m_blocks)
        bytes += block.capacity() * sizeof(quint32);
    return bytes;
}

QString millis3(qint64 microseconds)
{
    const bool negative = microseconds < 0;
    // Magnitude as unsigned, so that the most negative value has one too.
    const quint64 magnitude = negative ? 0 - quint64(microseconds) : quint64(microseconds);
    return (negative ? QStringLiteral("-") : QString()) + QString::number(magnitude / 1000) + u'.' +
           QStringLiteral("%1").arg(magnitude % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace tallowick
