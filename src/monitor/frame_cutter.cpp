#include "monitor/frame_cutter.h"

#include "frames/crc.h"

#include <algorithm>

namespace tallowick {

namespace {

// The bits of one character in tenths, for one and a half stop bits.
qint64 characterTenthBits(const LineSettings &settings)
{
    const qint64 parity = settings.parity == QSerialPort::NoParity ? 0 : 1;
    qint64 stopTenths = 10;
    if (settings.stopBits == QSerialPort::OneAndHalfStop)
        stopTenths = 15;
    else if (settings.stopBits == QSerialPort::TwoStop)
        stopTenths = 20;
    return 10 * (1 + qint64(settings.dataBits) + parity) + stopTenths;
}

// The lengths a frame with this function code may have, from what its first
// bytes say; a request and a reply length where both are possible.
std::vector<qsizetype> allowedLengths(QByteArrayView frame)
{
    if (frame.size() < 2)
        return {};
    const auto function = quint8(frame[1]);
    if (function & 0x80)
        return {5};
    switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
        if (frame.size() < 3)
            return {8};
        return {8, 5 + qsizetype(quint8(frame[2]))};
    case 0x05:
    case 0x06:
        return {8};
    case 0x0F:
    case 0x10:
        if (frame.size() < 7)
            return {8};
        return {8, 9 + qsizetype(quint8(frame[6]))};
    default:
        return {};
    }
}

qint64 toUs(qint64 ns)
{
    return ns >= 0 ? ns / 1000 : -((-ns + 999) / 1000);
}

// The lengths at which the bytes split into frames that each end in their
// CRC at a length their function code allows; empty when they do not.
std::vector<qsizetype> crcSplit(QByteArrayView bytes)
{
    if (lengthFitsFunction(bytes) && endsInGoodCrc(bytes))
        return {bytes.size()};
    for (const qsizetype length : allowedLengths(bytes)) {
        if (length >= bytes.size() || !endsInGoodCrc(bytes.first(length)))
            continue;
        std::vector<qsizetype> rest = crcSplit(bytes.sliced(length));
        if (!rest.empty()) {
            rest.insert(rest.begin(), length);
            return rest;
        }
    }
    return {};
}

} // namespace

std::chrono::nanoseconds characterTime(const LineSettings &settings)
{
    const qint64 baud = std::max<qint64>(1, settings.baudRate);
    return std::chrono::nanoseconds(characterTenthBits(settings) * 100'000'000 / baud);
}

std::chrono::microseconds defaultFrameGap(const LineSettings &settings)
{
    if (settings.baudRate > 19200)
        return std::chrono::microseconds(1750);
    const qint64 baud = std::max<qint64>(1, settings.baudRate);
    // 3.5 characters: 35 tenths of characters of tenths of bits.
    const qint64 numerator = 35 * characterTenthBits(settings) * 1'000'000;
    const qint64 denominator = 100 * baud;
    return std::chrono::microseconds((numerator + denominator - 1) / denominator);
}

bool lengthFitsFunction(QByteArrayView frame)
{
    const std::vector<qsizetype> lengths = allowedLengths(frame);
    return std::find(lengths.begin(), lengths.end(), frame.size()) != lengths.end();
}

FrameCutter::FrameCutter(std::chrono::microseconds gap, std::chrono::nanoseconds characterTime)
    : m_gap(gap), m_charNs(std::max<qint64>(1, characterTime.count()))
{
}

std::vector<CutFrame> FrameCutter::feed(QByteArrayView bytes, qint64 arrivalUs)
{
    std::vector<CutFrame> ended;
    if (bytes.isEmpty())
        return ended;
    const qint64 arrivalNs = arrivalUs * 1000;
    const qint64 firstStartNs = arrivalNs - bytes.size() * m_charNs;
    if (!m_bytes.isEmpty() && firstStartNs - m_byteEndNs.back() >= m_gap.count() * 1000)
        ended = endFrame();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (m_bytes.size() >= longestRun) {
            std::vector<CutFrame> more = endFrame();
            ended.insert(ended.end(), more.begin(), more.end());
        }
        qint64 endNs = arrivalNs - (bytes.size() - 1 - i) * m_charNs;
        if (!m_byteEndNs.empty())
            endNs = std::max(endNs, m_byteEndNs.back() + m_charNs);
        else if (m_previousEndUs)
            endNs = std::max(endNs, *m_previousEndUs * 1000 + m_charNs);
        // Never later than the read that brought it.
        endNs = std::min(endNs, arrivalNs);
        m_bytes.append(bytes[i]);
        m_byteEndNs.push_back(endNs);
    }
    return ended;
}

std::vector<CutFrame> FrameCutter::silence(qint64 nowUs)
{
    const std::optional<qint64> end = deadline();
    if (!end || nowUs < *end)
        return {};
    return endFrame();
}

std::vector<CutFrame> FrameCutter::flush()
{
    return endFrame();
}

std::optional<qint64> FrameCutter::deadline() const
{
    if (m_bytes.isEmpty())
        return std::nullopt;
    return toUs(m_byteEndNs.back() + 999) + m_gap.count();
}

std::vector<CutFrame> FrameCutter::endFrame()
{
    std::vector<CutFrame> frames;
    if (m_bytes.isEmpty())
        return frames;
    std::vector<qsizetype> lengths;
    if (!endsInGoodCrc(m_bytes))
        lengths = crcSplit(m_bytes);
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
        frame.split = split;
        m_previousEndUs = frame.endUs;
        frames.push_back(std::move(frame));
        from += length;
    }
    m_bytes.clear();
    m_byteEndNs.clear();
    return frames;
}

} // namespace tallowick
