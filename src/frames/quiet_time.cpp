#include "frames/quiet_time.h"

#include "frames/reply_check.h"

namespace tallowick {

std::chrono::microseconds replyQuietTime(QByteArrayView bytes,
                                         std::optional<std::chrono::nanoseconds> frameEnd)
{
    if (!frameEnd || !isCompleteRtuReply(bytes))
        return batchedQuietTime;
    return std::chrono::ceil<std::chrono::microseconds>(*frameEnd);
}

} // namespace tallowick
