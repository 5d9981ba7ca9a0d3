#include "log/time_stamp.h"

#include <QLocale>

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

} // namespace tallowick
