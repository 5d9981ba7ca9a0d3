#include "engine/send_checks.h"

#include "engine/exchange_inputs.h"
#include "engine/numeric_value.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tallowick {

int checkNullMask(const QString &address, const QString &port, const QString &timeout)
{
    return (address.isEmpty() ? 1 : 0) | (port.isEmpty() ? 2 : 0) | (timeout.isEmpty() ? 4 : 0);
}

SettingsComplaint settingsComplaint(int mask)
{
    const QString ip = QStringLiteral("IP is Null.");
    const QString port = QStringLiteral("Port is Null.");
    const QString timeout = QStringLiteral("Timeout is Null.");
    const QString crlf = QStringLiteral("\r\n");
    // The captions are worded as users have always seen them.
    static const std::array<const char *, 8> captions = {
        "Check send command.",           "Check IP setting.",
        "Check Port setting.",           "Check IP and Port settings.",
        "Check Timeout setting.",        "Check IP and Timeout settings.",
        "Port IP and Timeout settings.", "Port IP and Port and Timeout settings.",
    };
    mask &= 7;
    QStringList lines;
    if (mask & 1)
        lines << ip;
    if (mask & 2)
        lines << port;
    if (mask & 4)
        lines << timeout;
    const QString message =
        mask == 0 ? QStringLiteral("What instruction execution?!") : lines.join(crlf);
    return {message, QString::fromLatin1(captions[mask])};
}

std::optional<std::chrono::milliseconds> replyTimerInterval(const QString &timeout)
{
    const double value = numericValue(timeout);
    if (!(value > 1))
        return std::chrono::milliseconds(1);
    const double whole = roundHalfEven(value);
    if (!std::isfinite(whole) || whole > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return std::chrono::milliseconds(qint64(whole));
}

std::optional<quint16> tcpPort(const QString &port)
{
    const double value = numericValue(port);
    if (!isWholeNumber(value) || value < 1 || value > 65535)
        return std::nullopt;
    return quint16(value);
}

namespace {
constexpr double maxPasses = std::numeric_limits<qint16>::max();
constexpr double maxPauseMs = std::numeric_limits<int>::max();
} // namespace

bool repeatCountValid(const RepeatFields &fields)
{
    // A stop line between the last line and the number after it (15.5) is
    // still taken.
    return numericValue(fields.rCNT) > 0 && numericValue(fields.rpStop) < commandLineCount + 1;
}

bool repeatStartValid(const RepeatFields &fields)
{
    if (!repeatCountValid(fields))
        return false;
    // The pass counter holds 32767 passes, and a count that rounds to none
    // would still run one pass; a timer holds no pause of 0 ms or less, nor
    // one of more than 2^31 - 1 ms.
    const double passes = roundHalfEven(numericValue(fields.rCNT));
    const double pause = roundHalfEven(numericValue(fields.repeat));
    const double start = numericValue(fields.rpStart);
    const double stop = numericValue(fields.rpStop);
    if (!(passes >= 1 && passes <= maxPasses) || !(pause >= 1 && pause <= maxPauseMs))
        return false;
    // The range must be able to name one of the command lines. A start above
    // the stop is allowed: its passes send nothing.
    return roundHalfEven(start - 1) >= 0 && roundHalfEven(start - 1) <= commandLineCount - 1 &&
           roundHalfEven(stop - 1) >= 0;
}

std::chrono::milliseconds repeatPause(const RepeatFields &fields)
{
    const double pause = roundHalfEven(numericValue(fields.repeat));
    if (!(pause >= 0))
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(qint64(std::min(pause, maxPauseMs)));
}

} // namespace tallowick
