#include "ui/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace tallowick::dialogs {

namespace {

MessageHandler &messageHandler()
{
    static MessageHandler handler;
    return handler;
}

FileHandler &fileHandler()
{
    static FileHandler handler;
    return handler;
}

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

MessageAnswer showRealMessage(QWidget *parent, const UserMessage &request)
{
    QMessageBox box(parent);
    box.setWindowTitle(request.title);
    box.setText(request.text);
    box.setIcon(boxIcon(request.icon));
    if (request.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int pressed = box.exec();
    if (pressed == QMessageBox::Yes)
        return MessageAnswer::Yes;
    if (pressed == QMessageBox::No)
        return MessageAnswer::No;
    return MessageAnswer::Ok;
}

std::optional<QString> showRealFileDialog(QWidget *parent, const FileDialogRequest &request)
{
    const QStringList filters = qtFilter(request.filter).split(QStringLiteral(";;"));
    QFileDialog dialog(parent);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters.at(request.filterIndex - 1));
    if (request.mode == FileDialogMode::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // Replacing an existing file is what the user asked for; no question.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // The open dialog does not insist that the file exists: a typed name
        // that names none is reported by the loader.
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

MessageAnswer message(QWidget *parent, UserMessage message)
{
    if (message.title.isEmpty())
        message.title = programTitle;
    if (const auto &handler = messageHandler())
        return handler(parent, message);
    return showRealMessage(parent, message);
}

std::optional<QString> fileName(QWidget *parent, const FileDialogRequest &request)
{
    if (const auto &handler = fileHandler())
        return handler(parent, request);
    return showRealFileDialog(parent, request);
}

void setMessageHandler(MessageHandler handler)
{
    messageHandler() = std::move(handler);
}

void setFileHandler(FileHandler handler)
{
    fileHandler() = std::move(handler);
}

QString qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        // Qt reads the patterns from the parentheses of the description.
        if (!description.contains(u'('))
            description += QStringLiteral(" (%1)").arg(parts.at(i + 1));
        entries << description;
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace tallowick::dialogs
