#pragma once

// Cuts the bytes seen on a serial line into frames by the silences between
// them, as a receiver of the line would, without driving it.

#include "links/serial_settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <chrono>
#include <optional>
#include <vector>

namespace tallowick {

// One character on the line: start bit, data bits, parity bit and stop bits.
std::chrono::nanoseconds characterTime(const LineSettings &settings);

// t3.5: the silence that ends a frame, 3.5 character times rounded up to the
// next microsecond; above 19200 baud the fixed 1.75 ms.
std::chrono::microseconds defaultFrameGap(const LineSettings &settings);

// Whether a frame of this length is one the function code of its second byte
// allows, as a request or as a reply; unknown function codes allow none.
bool lengthFitsFunction(QByteArrayView frame);

struct CutFrame
{
    QByteArray bytes;
    // Times in microseconds on the monotonic clock.
    qint64 firstByteUs = 0; // the start of the first byte
    qint64 endUs = 0;       // the end of the last byte
    // The silence before it, from the end of the frame before; none for the first.
    std::optional<qint64> gapUs;
    // Cut from a longer run by the CRCs of its parts: the silence between
    // them was shorter than a batch of the adapter and could not be seen.
    bool split = false;
};

// Fed with the bytes of each read and the time the read returned. A read
// returns when the last byte of its batch has arrived; each earlier byte is
// taken to have ended one character time before the one after it, since the
// line carried them back to back (never before the end of the byte read
// before it). A batch of an adapter's latency timer is therefore placed at
// the end of its real span, and a silence inside it is invisible: the CRC
// split below finds the frames such a silence separated.
class FrameCutter
{
public:
    FrameCutter(std::chrono::microseconds gap, std::chrono::nanoseconds characterTime);

    // Frames that the silence before these bytes ended.
    std::vector<CutFrame> feed(QByteArrayView bytes, qint64 arrivalUs);
    // Frames ended by the line's silence up to nowUs.
    std::vector<CutFrame> silence(qint64 nowUs);
    // The frame in progress, whatever the silence after it (at the end).
    std::vector<CutFrame> flush();
    // When the frame in progress ends if no byte comes before.
    std::optional<qint64> deadline() const;

    // No Modbus frame is longer than 256 bytes: a run without a silence that
    // grows beyond this is cut here, so that a noisy line costs bounded memory.
    static constexpr qsizetype longestRun = 1024;

private:
    std::vector<CutFrame> endFrame();

    std::chrono::microseconds m_gap;
    qint64 m_charNs;
    QByteArray m_bytes;
    // The end of each byte of the frame in progress, in nanoseconds.
    std::vector<qint64> m_byteEndNs;
    std::optional<qint64> m_previousEndUs;
};

} // namespace tallowick
