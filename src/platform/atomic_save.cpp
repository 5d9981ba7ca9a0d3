#include "platform/atomic_save.h"

#include "platform/system_reason.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallowick {

namespace {

// The file a path names in the end, following symbolic links, even to a file
// that does not exist yet.
QString finalTarget(const QString &path)
{
    QString target = path;
    // As many links as the system itself follows before it gives up.
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            break;
        target = info.symLinkTarget();
    }
    return target;
}

// A device or a FIFO is not a file that can be replaced: replacing /dev/null
// or a pipe with a regular file would break whatever else uses it.
bool isSpecialFile(const QString &path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode) &&
           !S_ISDIR(status.st_mode);
}

template <class File> bool writeAll(File &file, const QList<QByteArray> &pieces)
{
    return std::all_of(pieces.begin(), pieces.end(), [&file](const QByteArray &piece) {
        return file.write(piece) == piece.size();
    });
}

} // namespace

std::optional<FileError> checkWritable(const QString &path)
{
    const QByteArray name = QFile::encodeName(finalTarget(path));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(name.constData());
        return std::nullopt;
    }
    if (errno != EEXIST)
        return FileError{systemReason(errno)};
    // There already: a FIFO opened for writing would wait for a reader.
    const int existing = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (existing < 0 && errno != ENXIO)
        return FileError{systemReason(errno)};
    if (existing >= 0)
        ::close(existing);
    return std::nullopt;
}

std::optional<FileError> saveAtomically(const QString &path, const QList<QByteArray> &pieces)
{
    // Both kinds of file follow a symbolic link to the file it names, which
    // QSaveFile replaces, keeping the link.
    if (isSpecialFile(path)) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly) && writeAll(file, pieces) && file.flush()) {
            file.close();
            if (file.error() == QFileDevice::NoError)
                return std::nullopt;
        }
        return FileError{file.errorString()};
    }
    QSaveFile file(path);
    // flush() reports a failure to write out the buffer (a full disk), which
    // commit() would not: it would rename a short file over the old one.
    if (file.open(QIODevice::WriteOnly) && writeAll(file, pieces) && file.flush() && file.commit())
        return std::nullopt;
    FileError error{file.errorString()};
    file.cancelWriting();
    return error;
}

} // namespace tallowick
