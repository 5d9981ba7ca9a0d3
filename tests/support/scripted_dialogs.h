#pragma once

#include "ui/dialogs.h"

#include <QList>
#include <QString>
#include <deque>
#include <optional>

namespace tallowick::test {

// Replaces the real message boxes and file dialogs for as long as it lives:
// every request is recorded, and each is answered from a queue (OK, or Yes for
// a Yes/No box, and `otherFiles` for a file dialog, when the queue is empty).
class ScriptedDialogs
{
public:
    ScriptedDialogs();
    ~ScriptedDialogs();
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    QList<UserMessage> messages;
    QList<FileDialogRequest> fileRequests;

    std::deque<MessageAnswer> answers;
    std::deque<std::optional<QString>> files; // nullopt: the user cancels
    std::optional<QString> otherFiles;

    // "text|flags|title" of each box shown so far, the text up to a line break.
    QStringList shown() const;
    void clear();
};

} // namespace tallowick::test
