#pragma once

#include <QByteArrayView>
#include <chrono>

namespace tallowick {

// The RTU inter-frame silence t3.5: three and a half characters of 11 bits at
// the given baud rate, never less than 1.75 ms (the fixed value for fast lines).
std::chrono::microseconds interFrameSilence(qint32 baudRate);

// Quiet time after which bytes that do not (yet) form a well-formed reply are
// taken as the whole reply. USB serial adapters hand received bytes over in
// batches up to 16 ms apart; one burst must never be cut in two.
inline constexpr std::chrono::milliseconds batchedQuietTime{20};

// How long the line must stay quiet before the bytes received so far count as
// the whole reply: t3.5 for a complete, CRC-correct reply, so it is logged
// without delay; batchedQuietTime otherwise.
std::chrono::microseconds replyQuietTime(QByteArrayView bytes, qint32 baudRate);

} // namespace tallowick
