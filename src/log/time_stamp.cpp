#include "log/time_stamp.h"

#include <QLocale>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>

namespace tallowick {

namespace {

// The long time format carries seconds in every locale; drop its time zone
// ("t" outside quotes) and the blanks that stood around it.
QString timeOfDayFormat()
{
    const QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    QString result;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        result.append(c);
    }
    result = result.simplified();
    if (!result.contains(u's'))
        result = QStringLiteral("HH:mm:ss");
    return result;
}

} // namespace

QString timeStamp(const QTime &time)
{
    static const QString format = timeOfDayFormat();
    return QLocale::system().toString(time, format);
}

QString timeStamp()
{
    // Reading the system clock costs nothing; its local time costs a look at
    // the time zone file. Time zones differ from it by whole seconds, so the
    // text of a clock second stays right for all of it.
    thread_local qint64 second = -1;
    thread_local QString text;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now / 1000 != second) {
        second = now / 1000;
        text = timeStamp(QDateTime::fromMSecsSinceEpoch(now).time());
    }
    return text;
}

QString dateStamp(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString isoLocalTime(qint64 wallUs)
{
    using namespace std::chrono;
    const microseconds sinceEpoch(wallUs);
    const auto wholeSeconds = floor<seconds>(sinceEpoch);
    // A run or a busy line writes many records a second: the date, time and offset are
    // worked out once for each second (a change of daylight saving time falls
    // on a second's start).
    thread_local qint64 cachedSecond = std::numeric_limits<qint64>::min();
    thread_local char date[24];
    thread_local char offsetText[24];
    if (wholeSeconds.count() != cachedSecond) {
        const std::time_t t = std::time_t(wholeSeconds.count());
        std::tm local{};
        localtime_r(&t, &local);
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
        // An offset is less than a day.
        const int offset = int(local.tm_gmtoff / 60 % (24 * 60));
        const int absOffset = offset < 0 ? -offset : offset;
        std::snprintf(offsetText, sizeof offsetText, "%c%02d:%02d", offset < 0 ? '-' : '+',
                      absOffset / 60, absOffset % 60);
        cachedSecond = wholeSeconds.count();
    }
    // The part that changes with every record, without a format string.
    char micro[7];
    qint64 fraction = (sinceEpoch - wholeSeconds).count();
    for (int i = 5; i >= 0; --i, fraction /= 10)
        micro[i] = char('0' + fraction % 10);
    micro[6] = '\0';
    QString text;
    text.reserve(40);
    text += QLatin1StringView(date);
    text += u'.';
    text += QLatin1StringView(micro);
    text += QLatin1StringView(offsetText);
    return text;
}

} // namespace tallowick
