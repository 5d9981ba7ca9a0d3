#pragma once

#include <QByteArrayView>
#include <chrono>
#include <optional>

namespace tallowick {

// Quiet time after which bytes that do not (yet) form a well-formed reply are
// taken as the whole reply. USB serial adapters hand received bytes over in
// batches up to 16 ms apart; one burst must never be cut in two.
inline constexpr std::chrono::milliseconds batchedQuietTime{20};

// How long the line must stay quiet after the last delivery before the bytes
// received so far count as the whole reply: the line's end of frame (t3.5
// and one character) for a complete, CRC-correct reply, so it is logged
// without delay; batchedQuietTime otherwise, and where the line has no timing.
std::chrono::microseconds replyQuietTime(QByteArrayView bytes,
                                         std::optional<std::chrono::nanoseconds> frameEnd);

} // namespace tallowick
