#include "links/line_timing.h"

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

// halves characters (3 for t1.5, 7 for t3.5) in microseconds, rounded up.
std::chrono::microseconds halfCharacters(qint64 halves, qint64 tenthBits, qint64 baud)
{
    const qint64 numerator = halves * tenthBits * 1'000'000;
    const qint64 denominator = 2 * 10 * baud;
    return std::chrono::microseconds((numerator + denominator - 1) / denominator);
}

} // namespace

LineTiming lineTiming(const LineSettings &settings)
{
    using namespace std::chrono_literals;
    const qint64 baud = std::max<qint64>(1, settings.baudRate);
    const qint64 tenthBits = characterTenthBits(settings);
    LineTiming timing;
    timing.character = std::chrono::nanoseconds(tenthBits * 100'000'000 / baud);
    if (baud > 19200) {
        timing.t15 = 750us;
        timing.t35 = 1750us;
    } else {
        timing.t15 = halfCharacters(3, tenthBits, baud);
        timing.t35 = halfCharacters(7, tenthBits, baud);
    }
    return timing;
}

LineTiming lineTiming(const LineSettings &settings, std::chrono::microseconds t35)
{
    LineTiming timing = lineTiming(settings);
    timing.t15 = std::chrono::microseconds((t35.count() * 3 + 6) / 7);
    timing.t35 = t35;
    return timing;
}

} // namespace tallowick
