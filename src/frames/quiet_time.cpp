#include "frames/quiet_time.h"

#include "frames/reply_check.h"

#include <algorithm>

namespace tallowick {

std::chrono::microseconds interFrameSilence(qint32 baudRate)
{
    using namespace std::chrono;
    constexpr microseconds fastLineSilence{1750};
    if (baudRate <= 0)
        return fastLineSilence;
    // 3.5 characters of 11 bits each, rounded up to the next microsecond.
    const qint64 micros =
        (qint64(35) * 11 * 1'000'000 + qint64(10) * baudRate - 1) / (qint64(10) * baudRate);
    return std::max(microseconds(micros), fastLineSilence);
}

std::chrono::microseconds replyQuietTime(QByteArrayView bytes, qint32 baudRate)
{
    if (baudRate <= 0 || !isCompleteRtuReply(bytes))
        return batchedQuietTime;
    return interFrameSilence(baudRate);
}

} // namespace tallowick
