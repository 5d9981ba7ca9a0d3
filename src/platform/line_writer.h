#pragma once

#include "platform/output_file.h"

#include <QString>
#include <cstdio>
#include <optional>

namespace tallowick {

// Writes the text to the stream as UTF-8 and flushes it at once: a message on
// standard error reaches a person or a log before anything that follows it.
// Standard output and record files go through OutputFile. A message the
// stream does not take cannot be told there: the first such failure is kept,
// so that the program does not end as if nothing was lost (lostMessage()).
void writeUtf8(std::FILE *stream, const QString &text);

// The first message writeUtf8 could not write, as a fault of standard error.
std::optional<OutputFault> lostMessage();

} // namespace tallowick
