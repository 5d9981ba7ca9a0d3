#pragma once

#include "engine/user_message.h"

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace tallowick {

enum class MessageAnswer { Ok, Yes, No };

enum class FileDialogMode { Open, Save };

struct FileDialogRequest
{
    FileDialogMode mode = FileDialogMode::Open;
    QString filter;      // "Description|pattern|Description|pattern"
    int filterIndex = 1; // 1-based, as the filter is written
};

// The one seam through which every message box and file dialog of the program
// goes. By default it shows the real QMessageBox and QFileDialog; tests replace
// the handlers to read what would be shown and to answer it.
namespace dialogs {

// A handler gets the message with its title filled in.
using MessageHandler = std::function<MessageAnswer(QWidget *parent, const UserMessage &)>;
// Returns the chosen path, or nothing when the user cancelled.
using FileHandler =
    std::function<std::optional<QString>(QWidget *parent, const FileDialogRequest &)>;

MessageAnswer message(QWidget *parent, UserMessage message);
std::optional<QString> fileName(QWidget *parent, const FileDialogRequest &request);

void setMessageHandler(MessageHandler handler); // an empty handler restores the real box
void setFileHandler(FileHandler handler);

// Qt's filter syntax for a "Description|pattern|..." filter.
QString qtFilter(const QString &filter);

} // namespace dialogs

// The filter of the save and open dialogs for logs and configuration files,
// which open on its second entry.
inline const QString textFileFilter = QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt");

} // namespace tallowick
