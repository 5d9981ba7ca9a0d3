#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace tallowick::test {

// A whole file; empty when it cannot be read.
QByteArray readFile(const QString &path);

// The bytes as one open, write and close. Durable: as a program that must
// never lose the old file writes them, and as Save Log does: into a new file
// beside it, synced to disk, renamed over it.
bool writeFile(const QString &path, const QByteArray &bytes, bool durable = false);

// Lays out entries under `root`, the folders on the way made: "path=content" is
// a file, "path->target" a link. Empty entries are skipped, so that a tree can
// be given one entry a line.
void lay(const QString &root, const QByteArrayList &entries);

} // namespace tallowick::test
