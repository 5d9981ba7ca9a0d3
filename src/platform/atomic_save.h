#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tallowick {

// Why a file could not be read or written, in the system's words.
struct FileError
{
    QString reason;
};

// Whether a file could be written at `path`, found out without changing
// what is there: a file this makes to find out is removed again.
std::optional<FileError> checkWritable(const QString &path);

// Writes the pieces one after the other into a new file beside `path`, which
// then replaces it: a failure or a crash at any moment leaves either the old
// file or the whole new one, never a part. A symbolic link stays and the file
// it points to is replaced; a device or FIFO is written in place, since
// replacing it would break whatever else uses it. Nothing on success.
std::optional<FileError> saveAtomically(const QString &path, const QList<QByteArray> &pieces);

} // namespace tallowick
