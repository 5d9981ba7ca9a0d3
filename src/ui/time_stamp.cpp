#include "ui/time_stamp.h"

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

QString dateStamp(const QDate &date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

} // namespace tallowick
