#pragma once

#include "config/config_format.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace tallowick {

// The slot file of that name in the program's folder; empty when the name can
// name no file there (it is "*.ini" after "Kill All Files").
QString slotFilePath(const QString &programFolder, const QString &fileName);

// The 39 values of a configuration file; nothing when the file is missing, is
// no regular file, or cannot be read.
std::optional<QStringList> readConfigFile(const QString &path);

// Writes the 39 values into the slot file, in place (the lines the program does
// not write stay) and atomically. False when it could not; an existing file
// that cannot be read is not replaced.
bool saveSlotFile(const QString &path, const QStringList &values);

// Writes the 39 values as a complete file, atomically. Returns why it could
// not, or the empty text on success.
QString exportConfigFile(const QString &path, const QStringList &values);

// Deletes one file (never a folder); false when there was nothing to delete
// or it could not be deleted.
bool deleteFile(const QString &path);

// Deletes the regular files and symbolic links named "*.ini" directly in the
// folder. False when none matched or one could not be deleted.
bool deleteIniFiles(const QString &folder);

} // namespace tallowick
