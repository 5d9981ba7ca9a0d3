#include "support/files.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace tallowick::test {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes, bool durable)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray written = durable ? target + ".new" : target;
    const int fd = ::open(written.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            break;
        done += n;
    }
    const bool synced = !durable || ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && done == bytes.size() && synced &&
           (!durable || ::rename(written.constData(), target.constData()) == 0);
}

} // namespace tallowick::test
