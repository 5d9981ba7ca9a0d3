#include "log/log_entry.h"

#include "log/time_stamp.h"

namespace tallowick {

QString logEntryLine(const QString &text, int lineBreaks)
{
    QString line = timeStamp();
    line.reserve(line.size() + 3 + text.size() + lineBreaks);
    line += QStringLiteral("   ");
    line += text;
    line += QString(lineBreaks, u'\n');
    return line;
}

} // namespace tallowick
