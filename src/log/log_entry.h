#pragma once

#include <QString>

namespace tallowick {

// One entry of the log as every program writes it: the time stamp, three
// blanks, the text, then its line breaks ("\n"; the window's box keeps them as
// paragraph ends, a file gets them as they are).
QString logEntryLine(const QString &text, int lineBreaks);

} // namespace tallowick
