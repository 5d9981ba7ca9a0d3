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

// Memory devices of a test's own in `folder`: "null" (as /dev/null) and
// "full" (as /dev/full, every write fails with ENOSPC), so that no test ever
// writes to the system's. False where making a device is not allowed (it
// needs root).
bool makeMemoryDevices(const QString &folder);
// Whether the path (not followed) is still the memory device `name` of
// makeMemoryDevices(): "null" or "full".
bool isMemoryDevice(const QString &path, const QString &name);

} // namespace tallowick::test
