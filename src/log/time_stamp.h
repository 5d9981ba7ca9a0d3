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

// A wall-clock moment, in microseconds since the epoch, as ISO 8601 local time
// with microseconds and the offset from UTC: "2026-03-01T02:03:04.000005+01:00".
// The records of the runner and the monitor carry it.
QString isoLocalTime(qint64 wallUs);

} // namespace tallowick
