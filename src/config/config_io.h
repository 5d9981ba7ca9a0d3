#pragma once

#include "config/config_format.h"
#include "platform/atomic_save.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace tallowick {

// Every operation on a configuration file reports a failure the same way: a
// FileError, with the reason the system gave. A reading returns its values or
// the error; the others nothing, or the error.
using ConfigRead = std::variant<QStringList, FileError>;
using FileFailure = std::optional<FileError>;

// The slot file of that name in the program's folder; empty when the name can
// name no file there (it is "*.ini" after "Kill All Files").
QString slotFilePath(const QString &programFolder, const QString &fileName);

// The 39 values of a configuration file; an error when the file is missing, is
// no regular file, or cannot be read.
ConfigRead readConfigFile(const QString &path);

// Writes the 39 values into the slot file, in place (the lines the program does
// not write stay) and atomically; an existing file that cannot be read is not
// replaced.
FileFailure saveSlotFile(const QString &path, const QStringList &values);

// Writes the 39 values as a complete file, atomically.
FileFailure exportConfigFile(const QString &path, const QStringList &values);

// Deletes one file (never a folder); an error when there was nothing to delete
// or it could not be deleted.
FileFailure deleteFile(const QString &path);

// Deletes the regular files and symbolic links named "*.ini" directly in the
// folder; an error when none matched or one could not be deleted.
FileFailure deleteIniFiles(const QString &folder);

} // namespace tallowick
