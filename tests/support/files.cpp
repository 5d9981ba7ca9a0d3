#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

void lay(const QString &root, const QByteArrayList &entries)
{
    for (const QByteArray &entry : entries) {
        if (entry.isEmpty())
            continue;
        const qsizetype equals = entry.indexOf('=');
        const qsizetype found = entry.indexOf("->");
        const qsizetype arrow = equals >= 0 && found > equals ? -1 : found; // "->" in a content
        const QString path =
            root + u'/' + QString::fromUtf8(entry.left(arrow >= 0 ? arrow : equals));
        QDir().mkpath(QFileInfo(path).path());
        QVERIFY2(arrow >= 0 ? QFile::link(QString::fromUtf8(entry.mid(arrow + 2)), path)
                            : writeFile(path, entry.mid(equals + 1)),
                 entry.constData());
    }
}

namespace {
// The memory devices' minor numbers under major 1.
unsigned memoryMinor(const QString &name)
{
    return name == u"full" ? 7 : 3;
}
} // namespace

bool makeMemoryDevices(const QString &folder)
{
    for (const QString &name : {QStringLiteral("null"), QStringLiteral("full")}) {
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
        if (::mknod(path.constData(), S_IFCHR | 0666, makedev(1, memoryMinor(name))) != 0)
            return false;
    }
    return true;
}

bool isMemoryDevice(const QString &path, const QString &name)
{
    struct stat status
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISCHR(status.st_mode) &&
           major(status.st_rdev) == 1 && minor(status.st_rdev) == memoryMinor(name);
}

} // namespace tallowick::test
