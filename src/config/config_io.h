#pragma once

#include "config/config_format.h"

#include <QString>
#include <array>

class QLineEdit;

namespace tallowick {

struct Context;
struct Controls;

// The text boxes that hold the configuration set, in key order.
std::array<QLineEdit *, configValueCount> configBoxes(const Controls &ui);

// The slot file of configFileName in the program's folder; empty when the
// name can name no file there (it is "*.ini" after "Kill All Files").
QString slotFilePath(const Context &ctx);

// Fills the 39 boxes from the file and reports the outcome in `status`, or,
// when the file is missing or unreadable, in a message box and `status`,
// emptying the boxes only when asked to.
void loadConfig(Context &ctx, const QString &path, const QString &name, bool clearWhenMissing);

// Writes the 39 values into the slot file of configFileName, in place and
// atomically, and reports the outcome.
void saveConfig(Context &ctx);

// Writes the 39 values as a complete file, atomically. Returns why it could
// not, or the empty text on success.
QString exportConfig(Context &ctx, const QString &path);

// Deletes one file (never a folder); false when there was nothing to delete
// or it could not be deleted.
bool deleteFile(const QString &path);

// Deletes the regular files and symbolic links named "*.ini" directly in the
// folder. False when none matched or one could not be deleted.
bool deleteIniFiles(const QString &folder);

} // namespace tallowick
