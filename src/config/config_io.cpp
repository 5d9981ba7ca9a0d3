#include "config/config_io.h"

#include "config/code_page.h"
#include "platform/system_reason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace tallowick {

namespace {

FileError systemError(int error)
{
    return {systemReason(error)};
}

std::variant<QByteArray, FileError> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileError{file.errorString()};
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return FileError{file.errorString()};
    return bytes;
}

} // namespace

QString slotFilePath(const QString &programFolder, const QString &fileName)
{
    return isValidSlotFileName(fileName) ? QDir(programFolder).filePath(fileName) : QString();
}

ConfigRead readConfigFile(const QString &path)
{
    if (path.isEmpty())
        return systemError(ENOENT);
    // Only a file counts: a folder or a device of that name is as good as none.
    const QFileInfo info(path);
    if (!info.exists())
        return systemError(ENOENT);
    if (info.isDir())
        return systemError(EISDIR);
    if (!info.isFile())
        return FileError{QStringLiteral("Not a regular file")};
    auto file = readFile(path);
    if (auto *error = std::get_if<FileError>(&file))
        return *error;
    return configValuesFromFile(std::get<QByteArray>(file), codepage::systemAnsi());
}

FileFailure saveSlotFile(const QString &path, const QStringList &values)
{
    if (path.isEmpty())
        return systemError(EINVAL);
    auto existing = QFileInfo::exists(path) ? readFile(path) : QByteArray();
    if (auto *error = std::get_if<FileError>(&existing))
        return *error;
    const QByteArray &old = std::get<QByteArray>(existing);
    return saveAtomically(path, {slotFileWith(old, values, codepage::systemAnsi())});
}

FileFailure exportConfigFile(const QString &path, const QStringList &values)
{
    return saveAtomically(path, {exportedFile(values, codepage::systemAnsi())});
}

FileFailure deleteFile(const QString &path)
{
    if (path.isEmpty())
        return systemError(ENOENT);
    // unlink() never removes a folder, and removes a symbolic link itself.
    if (::unlink(QFile::encodeName(path).constData()) != 0)
        return systemError(errno);
    return std::nullopt;
}

FileFailure deleteIniFiles(const QString &folder)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::directory_iterator entries(fs::path(QFile::encodeName(folder).toStdString()), error);
    if (error)
        return systemError(error.value());
    // Collected first: deleting while the folder is being read may skip entries.
    std::vector<fs::path> doomed;
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        if (error)
            return systemError(error.value());
        const fs::path &path = entries->path();
        if (!matchesIniPattern(QFile::decodeName(path.filename().c_str())))
            continue;
        const fs::file_status status = entries->symlink_status(error);
        if (error)
            return systemError(error.value());
        if (fs::is_regular_file(status) || fs::is_symlink(status))
            doomed.push_back(path);
    }
    FileFailure failure;
    if (doomed.empty())
        failure = systemError(ENOENT);
    for (const fs::path &path : doomed) {
        if (::unlink(path.c_str()) != 0)
            failure = systemError(errno);
    }
    return failure;
}

} // namespace tallowick
