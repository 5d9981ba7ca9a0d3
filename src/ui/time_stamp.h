#pragma once

#include <QDateTime>
#include <QString>

namespace tallowick {

// The time of day as the log shows it: the system locale's time format with
// seconds, without date or time zone ("14:05:09" in the C locale).
QString timeStamp(const QTime &time = QTime::currentTime());

// The date in the system locale's short date format.
QString dateStamp(const QDate &date = QDate::currentDate());

} // namespace tallowick
