#pragma once

#include <QString>
#include <cstdio>

namespace tallowick {

// Writes the text to the stream as UTF-8 and flushes it at once: a message on
// standard error reaches a person or a log before anything that follows it.
// Standard output and record files go through OutputFile, which checks every
// write; a failure here has nobody left to be told to.
void writeUtf8(std::FILE *stream, const QString &text);

} // namespace tallowick
