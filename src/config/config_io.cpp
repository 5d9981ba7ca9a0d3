#include "config/config_io.h"

#include "config/code_page.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace tallowick {

namespace {

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
    // What the write left in the buffer goes out in flush(); commit() would
    // not report a failure there (a full disk), and rename an empty file.
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.commit()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    return {};
}

} // namespace

QString slotFilePath(const QString &programFolder, const QString &fileName)
{
    return isValidSlotFileName(fileName) ? QDir(programFolder).filePath(fileName) : QString();
}

std::optional<QStringList> readConfigFile(const QString &path)
{
    // Only a file counts: a folder or a device of that name is as good as none.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return std::nullopt;
    const std::optional<QByteArray> file = readFile(path);
    if (!file)
        return std::nullopt;
    return configValuesFromFile(*file, codepage::systemAnsi());
}

bool saveSlotFile(const QString &path, const QStringList &values)
{
    if (path.isEmpty())
        return false;
    const std::optional<QByteArray> existing =
        QFileInfo::exists(path) ? readFile(path) : std::optional<QByteArray>(QByteArray());
    if (!existing)
        return false;
    return writeAtomically(path, slotFileWith(*existing, values, codepage::systemAnsi())).isEmpty();
}

QString exportConfigFile(const QString &path, const QStringList &values)
{
    return writeAtomically(path, exportedFile(values, codepage::systemAnsi()));
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
