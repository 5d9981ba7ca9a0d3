#include "config/config_io.h"

#include "config/code_page.h"
#include "ui/context.h"
#include "ui/dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace tallowick {

namespace {

const QString failedTitle = QStringLiteral("Failed Msg");

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

// The new content goes into a file beside the target, which then replaces the
// target: a failure or a crash never leaves a half-written configuration.
QString writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    return {};
}

QStringList currentValues(const Context &ctx)
{
    QStringList values;
    for (const QLineEdit *box : configBoxes(ctx.ui))
        values << box->text();
    return values;
}

} // namespace

std::array<QLineEdit *, configValueCount> configBoxes(const Controls &ui)
{
    std::array<QLineEdit *, configValueCount> boxes{ui.filetitle, ui.address, ui.port,
                                                    ui.timeout,   ui.repeat,  ui.rpStart,
                                                    ui.rpStop,    ui.sendCnt, ui.rCNT};
    for (int i = 0; i < commandLineCount; ++i) {
        boxes[9 + i] = ui.cmd[i];
        boxes[24 + i] = ui.noteText[i];
    }
    return boxes;
}

QString slotFilePath(const Context &ctx)
{
    const QString &name = ctx.state.configFileName;
    return isValidSlotFileName(name) ? QDir(ctx.programFolder).filePath(name) : QString();
}

void loadConfig(Context &ctx, const QString &path, const QString &name, bool clearWhenMissing)
{
    const auto boxes = configBoxes(ctx.ui);
    std::optional<QByteArray> file;
    // Only a file counts: a folder or a device of that name is as good as none.
    if (!path.isEmpty() && QFileInfo(path).isFile())
        file = readFile(path);
    if (!file) {
        const QString text = QStringLiteral("Load Save File ") + name + QStringLiteral(" Failed.");
        dialogs::message(ctx.window, text, MbExclamation, failedTitle);
        ctx.ui.status->setText(text);
        if (clearWhenMissing) {
            for (QLineEdit *box : boxes)
                box->clear();
        }
        return;
    }
    const QStringList values = configValuesFromFile(*file, codepage::systemAnsi());
    for (int i = 0; i < configValueCount; ++i)
        boxes[i]->setText(values.at(i));
    ctx.ui.status->setText(QStringLiteral("Load Save File ") + name + QStringLiteral(" Success."));
}

void saveConfig(Context &ctx)
{
    const QString path = slotFilePath(ctx);
    bool saved = false;
    if (!path.isEmpty()) {
        // The lines the program does not write stay, so an existing file that
        // cannot be read is not replaced.
        const std::optional<QByteArray> existing =
            QFileInfo::exists(path) ? readFile(path) : std::optional<QByteArray>(QByteArray());
        if (existing) {
            const QStringList values = currentValues(ctx);
            saved = writeAtomically(path, slotFileWith(*existing, values, codepage::systemAnsi()))
                        .isEmpty();
        }
    }
    const QString &name = ctx.state.configFileName;
    if (!saved) {
        const QString text = QStringLiteral("Save File ") + name + QStringLiteral(" Failed.");
        dialogs::message(ctx.window, text, MbExclamation, failedTitle);
        ctx.ui.status->setText(text);
        return;
    }
    ctx.ui.status->setText(QStringLiteral("Save File ") + name + QStringLiteral(" Success."));
}

QString exportConfig(Context &ctx, const QString &path)
{
    return writeAtomically(path, exportedFile(currentValues(ctx), codepage::systemAnsi()));
}

bool deleteFile(const QString &path)
{
    // unlink() never removes a folder, and removes a symbolic link itself.
    return !path.isEmpty() && ::unlink(QFile::encodeName(path).constData()) == 0;
}

bool deleteIniFiles(const QString &folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::directory_iterator entries(fs::path(QFile::encodeName(folder).toStdString()), error);
    if (error)
        return false;
    // Collected first: deleting while the folder is being read may skip entries.
    std::vector<fs::path> doomed;
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        if (error)
            return false;
        const fs::path &path = entries->path();
        if (!matchesIniPattern(QFile::decodeName(path.filename().c_str())))
            continue;
        const fs::file_status status = entries->symlink_status(error);
        if (error)
            return false;
        if (fs::is_regular_file(status) || fs::is_symlink(status))
            doomed.push_back(path);
    }
    bool allDeleted = !doomed.empty();
    for (const fs::path &path : doomed) {
        if (::unlink(path.c_str()) != 0)
            allDeleted = false;
    }
    return allDeleted;
}

} // namespace tallowick
