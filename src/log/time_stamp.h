#pragma once

#include <QDateTime>
#include <QString>

namespace tallowick {

// The time of day as the log shows it: the system locale's time format with
// seconds, without date or time zone ("14:05:09" in the C locale).
QString timeStamp(const QTime &time);
// The same for now. A device that answers at once has hundreds of entries
// logged a second; the clock's local time is looked up and formatted once a
// second of them.
QString timeStamp();

// The date in the system locale's short date format.
QString dateStamp(const QDate &date = QDate::currentDate());

} // namespace tallowick
