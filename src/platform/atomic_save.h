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

// Writes the pieces one after the other into a new file beside `path`, which
// then replaces it: a failure or a crash at any moment leaves either the old
// file or the whole new one, never a part. Nothing on success.
std::optional<FileError> saveAtomically(const QString &path, const QList<QByteArray> &pieces);

} // namespace tallowick
