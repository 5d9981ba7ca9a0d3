#pragma once

// Cuts the bytes seen on a serial line into frames by the silences between
// them, as a receiver of the line would, without driving it. Each delivery
// of bytes is stamped as it arrives: the silence before it is its time less
// the previous delivery's less the wire time of the bytes it brought (a UART
// delivers a byte when its stop bit ends). A frame ends when that silence
// reaches t3.5, or when t3.5 and one character have passed since the last
// delivery with nothing new (deadline()).

#include "links/line_timing.h"

#include <QByteArray>
#include <QByteArrayView>
#include <chrono>
#include <optional>
#include <vector>

namespace tallowick {

struct CutFrame
{
    QByteArray bytes;
    // Times in microseconds on the monotonic clock.
    qint64 firstByteUs = 0; // the start of the first byte
    qint64 endUs = 0;       // the end of the last byte
    // The silence before it, from the end of the frame before; none for the first.
    std::optional<qint64> gapUs;
    // The longest silence inside it, where one was longer than t1.5: the
    // sender paused inside its frame.
    std::optional<qint64> innerGapUs;
    // Cut from a longer run by the CRCs of its parts: the silence between
    // them was shorter than a batch of the adapter and could not be seen.
    bool split = false;
    // Two pieces, each with a wrong CRC, that together end in a good one: an
    // adapter held back the bytes between them.
    bool joined = false;
};

class FrameCutter
{
public:
    explicit FrameCutter(const LineTiming &timing);

    // Frames that the silence before these bytes ended, the bytes of one
    // delivery stamped at its arrival.
    std::vector<CutFrame> feed(QByteArrayView bytes, qint64 arrivalUs);
    // Frames ended by the line's silence up to nowUs: nothing has been
    // delivered since the last feed (the caller has read what was there).
    std::vector<CutFrame> silence(qint64 nowUs);
    // The frame in progress and any held back, whatever the silence after
    // them (at the end).
    std::vector<CutFrame> flush();
    // When silence() has something to end if no byte comes before.
    std::optional<qint64> deadline() const;

    // No Modbus frame is longer than 256 bytes: a run without a silence that
    // grows beyond this is cut here, so that a noisy line costs bounded memory.
    static constexpr qsizetype longestRun = 1024;
    // The longest RTU frame: address, 253 bytes of PDU, CRC.
    static constexpr qsizetype longestFrame = 256;

private:
    void endFrame(std::vector<CutFrame> &out);
    void pass(CutFrame frame, std::vector<CutFrame> &out);
    // The held pieces and this one as one frame, or as one and the frames
    // after it, where their CRCs say so; false where they do not.
    bool join(const CutFrame &piece, std::vector<CutFrame> &out);
    // Out: the joined frame of the pieces, and the frames after it in the
    // last piece, back to back.
    void joinPieces(const std::vector<CutFrame> &held, const CutFrame &piece,
                    const QByteArray &whole, const std::vector<qsizetype> &lengths,
                    std::vector<CutFrame> &out) const;
    void release(std::vector<CutFrame> &out);

    qint64 m_charNs;
    qint64 m_t15Ns;
    qint64 m_t35Ns;
    QByteArray m_bytes;
    // The end of each byte of the frame in progress, in nanoseconds.
    std::vector<qint64> m_byteEndNs;
    qint64 m_lastDeliveryNs = 0;
    qint64 m_longestInnerNs = 0;
    std::optional<qint64> m_previousEndUs;
    // Pieces with wrong CRCs, waiting for the piece that may complete them
    // until the line has been seen quiet for adapterHoldBack after the last.
    std::vector<CutFrame> m_held;
};

} // namespace tallowick
