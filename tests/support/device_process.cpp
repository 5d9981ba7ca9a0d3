#include "support/device_process.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace tallowick::test {

bool DeviceProcess::waitServing(int ms)
{
    const QDeadlineTimer deadline(ms);
    // Its records go to standard output: waiting on that would miss the line.
    process().setReadChannel(QProcess::StandardError);
    while (!m_errors.contains(QLatin1String("tallowick-device: serving "))) {
        if (process().state() == QProcess::NotRunning || deadline.hasExpired() ||
            !process().waitForReadyRead(int(deadline.remainingTime())))
            return false;
        m_errors += QString::fromUtf8(process().readAllStandardError());
    }
    // The whole line: the links come after the map's name.
    while (!m_errors.section(QLatin1String("serving "), 1).contains(u'\n')) {
        if (deadline.hasExpired() || !process().waitForReadyRead(int(deadline.remainingTime())))
            return false;
        m_errors += QString::fromUtf8(process().readAllStandardError());
    }
    return true;
}

quint16 DeviceProcess::port(const QString &kind) const
{
    static const QRegularExpression link(QStringLiteral("(tcp|mbap) (\\S+):(\\d+)"));
    const QString serving = m_errors.section(QLatin1String("serving "), 1).section(u'\n', 0, 0);
    for (const QRegularExpressionMatch &match : link.globalMatch(serving)) {
        if (match.captured(1) == kind)
            return match.captured(3).toUShort();
    }
    return 0;
}

} // namespace tallowick::test
