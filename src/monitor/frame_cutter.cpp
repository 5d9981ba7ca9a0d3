#include "monitor/frame_cutter.h"

#include "frames/crc.h"
#include "frames/modbus_pdu.h"

#include <algorithm>

namespace tallowick {

namespace {

qint64 toUs(qint64 ns)
{
    return ns >= 0 ? ns / 1000 : -((-ns + 999) / 1000);
}

qint64 toUsRoundedUp(qint64 ns)
{
    return -toUs(-ns);
}

// The frame lengths at which the bytes split into frames that each end in
// their CRC at a length their function code allows; empty when they do not.
std::vector<qsizetype> crcSplit(QByteArrayView bytes)
{
    if (lengthFitsFunction(bytes) && endsInGoodCrc(bytes))
        return {bytes.size()};
    for (const PduRole role : {PduRole::Request, PduRole::Reply}) {
        const FrameLength length = rtuFrameLength(bytes, role);
        if (length.status != FrameLength::Known || length.bytes >= bytes.size() ||
            !endsInGoodCrc(bytes.first(length.bytes)))
            continue;
        std::vector<qsizetype> rest = crcSplit(bytes.sliced(length.bytes));
        if (!rest.empty()) {
            rest.insert(rest.begin(), length.bytes);
            return rest;
        }
    }
    return {};
}

// The good frames a run starts with, then the rest as one part: a request
// and a reply spoiled on the line that a busy reader got in one batch; empty
// when the run does not start with a good frame.
std::vector<qsizetype> leadingFrames(QByteArrayView bytes)
{
    std::vector<qsizetype> lengths;
    qsizetype from = 0;
    for (bool found = true; found && from < bytes.size();) {
        found = false;
        for (const PduRole role : {PduRole::Request, PduRole::Reply}) {
            const FrameLength length = rtuFrameLength(bytes.sliced(from), role);
            if (length.status == FrameLength::Known && from + length.bytes < bytes.size() &&
                endsInGoodCrc(bytes.sliced(from, length.bytes))) {
                lengths.push_back(length.bytes);
                from += length.bytes;
                found = true;
                break;
            }
        }
    }
    if (!lengths.empty())
        lengths.push_back(bytes.size() - from);
    return lengths;
}

} // namespace

FrameCutter::FrameCutter(const LineTiming &timing)
    : m_charNs(std::max<qint64>(1, timing.character.count())),
      m_t15Ns(std::chrono::nanoseconds(timing.t15).count()),
      m_t35Ns(std::chrono::nanoseconds(timing.t35).count())
{
}

std::vector<CutFrame> FrameCutter::feed(QByteArrayView bytes, qint64 arrivalUs)
{
    std::vector<CutFrame> ended;
    if (bytes.isEmpty())
        return ended;
    const qint64 arrivalNs = arrivalUs * 1000;
    if (!m_bytes.isEmpty()) {
        const qint64 silenceNs = arrivalNs - m_lastDeliveryNs - bytes.size() * m_charNs;
        if (silenceNs >= m_t35Ns)
            endFrame(ended);
        else
            m_longestInnerNs = std::max(m_longestInnerNs, silenceNs);
    }
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (m_bytes.size() >= longestRun)
            endFrame(ended);
        qint64 endNs = arrivalNs - (bytes.size() - 1 - i) * m_charNs;
        if (!m_byteEndNs.empty())
            endNs = std::max(endNs, m_byteEndNs.back() + m_charNs);
        else if (m_previousEndUs)
            endNs = std::max(endNs, *m_previousEndUs * 1000 + m_charNs);
        // Never later than the delivery that brought it.
        endNs = std::min(endNs, arrivalNs);
        m_bytes.append(bytes[i]);
        m_byteEndNs.push_back(endNs);
    }
    m_lastDeliveryNs = arrivalNs;
    return ended;
}

std::vector<CutFrame> FrameCutter::silence(qint64 nowUs)
{
    std::vector<CutFrame> ended;
    if (!m_bytes.isEmpty() && nowUs * 1000 - m_lastDeliveryNs >= m_t35Ns + m_charNs)
        endFrame(ended);
    if (m_bytes.isEmpty() && !m_held.empty() &&
        nowUs >= m_held.back().endUs + std::chrono::microseconds(adapterHoldBack).count())
        release(ended);
    return ended;
}

std::vector<CutFrame> FrameCutter::flush()
{
    std::vector<CutFrame> ended;
    endFrame(ended);
    release(ended);
    return ended;
}

std::optional<qint64> FrameCutter::deadline() const
{
    if (!m_bytes.isEmpty())
        return toUsRoundedUp(m_lastDeliveryNs + m_t35Ns + m_charNs);
    if (!m_held.empty())
        return m_held.back().endUs + std::chrono::microseconds(adapterHoldBack).count();
    return std::nullopt;
}

void FrameCutter::endFrame(std::vector<CutFrame> &out)
{
    if (m_bytes.isEmpty())
        return;
    std::vector<qsizetype> lengths;
    if (!endsInGoodCrc(m_bytes)) {
        lengths = crcSplit(m_bytes);
        if (lengths.empty())
            lengths = leadingFrames(m_bytes);
    }
    const bool split = lengths.size() > 1;
    if (!split)
        lengths = {m_bytes.size()};
    qsizetype from = 0;
    for (const qsizetype length : lengths) {
        CutFrame frame;
        frame.bytes = m_bytes.mid(from, length);
        frame.firstByteUs = toUs(m_byteEndNs[std::size_t(from)] - m_charNs);
        frame.endUs = toUs(m_byteEndNs[std::size_t(from + length - 1)]);
        if (m_previousEndUs) {
            // Bytes that came sooner than the line could carry them (a clock
            // or a driver out of step) never start before the frame before.
            frame.firstByteUs = std::clamp(frame.firstByteUs, *m_previousEndUs, frame.endUs);
            frame.gapUs = frame.firstByteUs - *m_previousEndUs;
        }
        // Which part of a split run a pause fell in is not known.
        if (!split && m_longestInnerNs > m_t15Ns)
            frame.innerGapUs = toUs(m_longestInnerNs);
        frame.split = split;
        m_previousEndUs = frame.endUs;
        pass(std::move(frame), out);
        from += length;
    }
    m_bytes.clear();
    m_byteEndNs.clear();
    m_longestInnerNs = 0;
}

void FrameCutter::pass(CutFrame frame, std::vector<CutFrame> &out)
{
    // The part a run's good frames leave may be the first piece of the next.
    const bool broken = !endsInGoodCrc(frame.bytes);
    if (!m_held.empty()) {
        // Pieces are let go once the line has been seen quiet for the
        // hold-back (silence()), not by the stamps: a reader woken late
        // stamps the rest of a frame late, and would part it for good.
        if (broken) {
            if (join(frame, out))
                return;
            // A frame parted more than once: its pieces wait together.
            qsizetype heldBytes = frame.bytes.size();
            for (const CutFrame &piece : m_held)
                heldBytes += piece.bytes.size();
            if (heldBytes <= longestFrame) {
                m_held.push_back(std::move(frame));
                return;
            }
        }
        release(out);
    }
    if (broken)
        m_held.push_back(std::move(frame));
    else
        out.push_back(std::move(frame));
}

bool FrameCutter::join(const CutFrame &piece, std::vector<CutFrame> &out)
{
    // From the oldest piece held on: the pieces before the one the frame
    // starts with stay what they were.
    for (std::size_t first = 0; first < m_held.size(); ++first) {
        QByteArray whole;
        for (std::size_t i = first; i < m_held.size(); ++i)
            whole += m_held[i].bytes;
        whole += piece.bytes;
        // The piece may also bring the frames after the one it completes,
        // when the bytes between came in one delivery with them.
        const std::vector<qsizetype> lengths = crcSplit(whole);
        if (lengths.empty())
            continue;
        std::vector<CutFrame> pieces(std::make_move_iterator(m_held.begin()),
                                     std::make_move_iterator(m_held.end()));
        m_held.clear();
        out.insert(out.end(), std::make_move_iterator(pieces.begin()),
                   std::make_move_iterator(pieces.begin() + qsizetype(first)));
        joinPieces({pieces.begin() + qsizetype(first), pieces.end()}, piece, whole, lengths, out);
        return true;
    }
    return false;
}

void FrameCutter::joinPieces(const std::vector<CutFrame> &held, const CutFrame &piece,
                             const QByteArray &whole, const std::vector<qsizetype> &lengths,
                             std::vector<CutFrame> &out) const
{
    qint64 innerGapUs = std::max(piece.gapUs.value_or(0), piece.innerGapUs.value_or(0));
    for (const CutFrame &part : held) {
        innerGapUs = std::max(innerGapUs, part.innerGapUs.value_or(0));
        if (&part != &held.front())
            innerGapUs = std::max(innerGapUs, part.gapUs.value_or(0));
    }
    CutFrame joined = held.front();
    joined.bytes = whole.first(lengths.front());
    joined.joined = true;
    joined.innerGapUs = innerGapUs;
    // The rest of the piece came back to back after the end of the joined frame.
    qsizetype from = lengths.front();
    qint64 endNs = piece.endUs * 1000 - (whole.size() - from) * m_charNs;
    joined.endUs = toUs(endNs);
    out.push_back(std::move(joined));
    for (auto length = std::next(lengths.begin()); length != lengths.end(); ++length) {
        CutFrame frame;
        frame.bytes = whole.sliced(from, *length);
        frame.firstByteUs = toUs(endNs);
        endNs += *length * m_charNs;
        frame.endUs = toUs(endNs);
        frame.gapUs = 0;
        frame.split = true;
        out.push_back(std::move(frame));
        from += *length;
    }
}

void FrameCutter::release(std::vector<CutFrame> &out)
{
    for (CutFrame &piece : m_held)
        out.push_back(std::move(piece));
    m_held.clear();
}

} // namespace tallowick
