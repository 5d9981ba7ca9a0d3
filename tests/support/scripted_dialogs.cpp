#include "support/scripted_dialogs.h"

#include "support/message_code.h"

namespace tallowick::test {

ScriptedDialogs::ScriptedDialogs()
{
    dialogs::setMessageHandler([this](QWidget *, const UserMessage &request) {
        messages.append(request);
        if (answers.empty())
            return request.buttons == MessageButtons::YesNo ? MessageAnswer::Yes
                                                            : MessageAnswer::Ok;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    });
    dialogs::setFileHandler(
        [this](QWidget *, const FileDialogRequest &request) -> std::optional<QString> {
            fileRequests.append(request);
            if (files.empty())
                return otherFiles;
            const std::optional<QString> chosen = files.front();
            files.pop_front();
            return chosen;
        });
}

ScriptedDialogs::~ScriptedDialogs()
{
    dialogs::setMessageHandler({});
    dialogs::setFileHandler({});
}

QStringList ScriptedDialogs::shown() const
{
    QStringList boxes;
    for (const auto &m : messages)
        boxes << QStringLiteral("%1|%2|%3")
                     .arg(m.text.section(u'\n', 0, 0))
                     .arg(messageCode(m))
                     .arg(m.title);
    return boxes;
}

void ScriptedDialogs::clear()
{
    messages.clear();
    fileRequests.clear();
}

} // namespace tallowick::test
