#pragma once

#include <QString>
#include <cstdio>

namespace tallowick {

// Writes the text to the stream as UTF-8 and flushes it at once: a reader at
// the other end of a pipe (a script, a CI job, a person watching) sees each
// line when it happens, and nothing is left in a buffer if the program is
// killed.
void writeUtf8(std::FILE *stream, const QString &text);

// The same without the flush, for a writer that flushes whenever its program
// is about to wait: one system call for all that one turn of the event loop
// wrote, and still nothing held while the program waits.
void writeUtf8Unflushed(std::FILE *stream, const QString &text);

} // namespace tallowick
