#include "links/serial_ports.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tallowick {

namespace {

// The start of a small file (sysfs attributes, lock files, /proc entries).
QByteArray readHead(const QByteArray &path, int limit = 256)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return {};
    QByteArray bytes(limit, Qt::Uninitialized);
    const ssize_t n = ::read(fd, bytes.data(), size_t(limit));
    ::close(fd);
    bytes.truncate(n > 0 ? qsizetype(n) : 0);
    return bytes;
}

QString attribute(const QString &folder, const char *name)
{
    return QString::fromUtf8(readHead(QFile::encodeName(folder) + '/' + name)).trimmed();
}

// ttyS2 before ttyS10.
bool naturalLess(const QString &a, const QString &b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype si = i;
            const qsizetype sj = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            const QString na = a.mid(si, i - si);
            const QString nb = b.mid(sj, j - sj);
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// What sysfs knows of the hardware behind a tty: for a USB adapter, the
// strings and ids of the USB device a few levels above the tty's device.
void describe(PortRecord &record, const QString &deviceFolder)
{
    QString interfaceName;
    QString folder = deviceFolder;
    // Up to the top of the device tree, and no further.
    for (int level = 0; level < 6 && QFileInfo(folder).fileName() != u"devices"; ++level) {
        if (interfaceName.isEmpty())
            interfaceName = attribute(folder, "interface");
        bool vendorOk = false;
        bool productOk = false;
        const quint16 vendor = attribute(folder, "idVendor").toUShort(&vendorOk, 16);
        const quint16 product = attribute(folder, "idProduct").toUShort(&productOk, 16);
        if (vendorOk && productOk) {
            record.vendorId = vendor;
            record.productId = product;
            record.hasUsbIds = true;
            record.description = attribute(folder, "product");
            record.manufacturer = attribute(folder, "manufacturer");
            record.serialNumber = attribute(folder, "serial");
            break;
        }
        folder = QFileInfo(folder).path();
    }
    if (record.description.isEmpty())
        record.description = interfaceName;
}

bool alive(qint64 pid)
{
    return pid > 0 && pid <= INT_MAX && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// A lock file holds the pid in ASCII (UUCP pads it to ten columns,
// QSerialPort's QLockFile puts the program and host on the lines after it),
// or as a binary int in the oldest convention.
qint64 lockPid(const QByteArray &content)
{
    const bool text = std::all_of(content.begin(), content.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '\n';
    });
    if (content.size() == 4 && !text) {
        qint32 pid = 0;
        std::memcpy(&pid, content.constData(), sizeof pid);
        return pid;
    }
    return std::strtoll(content.constData(), nullptr, 10);
}

// The names a lock of this port may have: the device's own name, as UUCP
// tools write it, and the path below /dev with '/' as '_', as QSerialPort
// writes it for whatever path it was given.
QStringList lockNames(const PortRecord &record, const QString &realPath)
{
    QStringList names;
    for (const QString &path : {record.path, record.byIdPath, realPath}) {
        if (path.isEmpty())
            continue;
        QString qtName = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
        qtName.replace(u'/', u'_');
        for (const QString &name : {QFileInfo(path).fileName(), qtName})
            if (!name.isEmpty() && !names.contains(name))
                names << name;
    }
    return names;
}

// The lock files present, by the name after "LCK..": one look into each
// folder rather than a try for every name of every port in every folder.
QMultiHash<QString, QString> lockFiles(const QStringList &folders)
{
    QMultiHash<QString, QString> files;
    for (const QString &folder : folders) {
        const QStringList names = QDir(folder).entryList({QStringLiteral("LCK..*")}, QDir::Files);
        for (const QString &name : names)
            files.insert(name.mid(5), folder + u'/' + name);
    }
    return files;
}

qint64 lockHolder(const QStringList &names, const QMultiHash<QString, QString> &files)
{
    for (const QString &name : names) {
        for (const QString &file : files.values(name)) {
            const qint64 pid = lockPid(readHead(QFile::encodeName(file), 64));
            if (pid != ::getpid() && alive(pid))
                return pid;
        }
    }
    return 0;
}

// Other processes that have one of `paths` open, by the links in
// /proc/<pid>/fd: for this user's processes, or everyone's for root. Returns
// the first holder of each path found.
QHash<QByteArray, qint64> openHolders(std::vector<std::string> paths)
{
    QHash<QByteArray, qint64> holders;
    std::sort(paths.begin(), paths.end());
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return holders;
    const pid_t self = ::getpid();
    char target[PATH_MAX];
    while (const dirent *process = ::readdir(proc)) {
        char *end = nullptr;
        const long pid = std::strtol(process->d_name, &end, 10);
        if (pid <= 0 || *end != '\0' || pid == self)
            continue;
        const std::string fdFolder = std::string("/proc/") + process->d_name + "/fd";
        const int fdDir = ::open(fdFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdDir < 0)
            continue; // another user's process, or gone
        DIR *fds = ::fdopendir(fdDir);
        if (!fds) {
            ::close(fdDir);
            continue;
        }
        while (const dirent *fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            const ssize_t n = ::readlinkat(fdDir, fd->d_name, target, sizeof target);
            // Sockets, pipes and the like read "socket:[...]"; only paths matter.
            if (n <= 0 || target[0] != '/')
                continue;
            const std::string_view link(target, size_t(n));
            const auto at = std::lower_bound(paths.begin(), paths.end(), link);
            if (at != paths.end() && *at == link) {
                holders.insert(QByteArray(at->data(), qsizetype(at->size())), pid);
                paths.erase(at);
            }
        }
        ::closedir(fds);
        if (paths.empty())
            break;
    }
    ::closedir(proc);
    return holders;
}

QString programName(qint64 pid)
{
    return QString::fromUtf8(readHead("/proc/" + QByteArray::number(pid) + "/comm", 64)).trimmed();
}

PortAccess noPermission(gid_t owner)
{
    PortAccess access;
    access.problem = PortAccess::NoPermission;
    // The reentrant look-ups: the list checks its ports on a worker thread.
    std::vector<char> buffer(64 * 1024);
    group groupEntry{};
    group *found = nullptr;
    if (::getgrgid_r(owner, &groupEntry, buffer.data(), buffer.size(), &found) == 0 && found)
        access.group = QString::fromLocal8Bit(found->gr_name);
    passwd userEntry{};
    passwd *user = nullptr;
    if (::getpwuid_r(::getuid(), &userEntry, buffer.data(), buffer.size(), &user) != 0 || !user)
        return access;
    access.user = QString::fromLocal8Bit(user->pw_name);
    // A member by the user database whose login does not carry the group yet:
    // the classic after usermod -aG without logging in again.
    int count = 64;
    std::vector<gid_t> listed(static_cast<size_t>(count));
    if (::getgrouplist(user->pw_name, user->pw_gid, listed.data(), &count) < 0) {
        listed.resize(static_cast<size_t>(count));
        ::getgrouplist(user->pw_name, user->pw_gid, listed.data(), &count);
    }
    listed.resize(static_cast<size_t>(std::max(count, 0)));
    std::vector<gid_t> held(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)));
    held.resize(static_cast<size_t>(std::max(::getgroups(int(held.size()), held.data()), 0)));
    held.push_back(::getegid());
    access.rejoinNeeded = std::find(listed.begin(), listed.end(), owner) != listed.end() &&
                          std::find(held.begin(), held.end(), owner) == held.end();
    return access;
}

} // namespace

std::vector<PortRecord> presentSerialPorts(const PortPlaces &places)
{
    std::vector<PortRecord> records;
    const QDir ttyClass(places.ttyClass);
    const QStringList names =
        ttyClass.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QString &name : names) {
        const QString entry = ttyClass.filePath(name);
        // Virtual terminals, the console, ptmx and ptys have no device behind them.
        const QString device = QFileInfo(entry + QStringLiteral("/device")).canonicalFilePath();
        if (device.isEmpty())
            continue;
        // A serial-core port with no UART behind it (most ttyS of a PC) is of type 0.
        if (attribute(entry, "type") == u"0")
            continue;
        QString node = name;
        const QByteArray uevent = readHead(QFile::encodeName(entry) + "/uevent", 1024);
        for (const QByteArray &line : uevent.split('\n'))
            if (line.startsWith("DEVNAME="))
                node = QString::fromUtf8(line.mid(8));
        PortRecord record;
        record.path = QDir(places.devices).filePath(node);
        if (!QFileInfo::exists(record.path))
            continue;
        describe(record, device);
        records.push_back(std::move(record));
    }
    std::sort(records.begin(), records.end(),
              [](const PortRecord &a, const PortRecord &b) { return naturalLess(a.path, b.path); });
    addByIdNames(records, places.byId);
    return records;
}

void addByIdNames(std::vector<PortRecord> &records, const QString &byIdFolder)
{
    if (records.empty())
        return;
    QHash<QString, QString> linkTo; // device → the first link to it by name
    const QFileInfoList links =
        QDir(byIdFolder)
            .entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        const QString target = link.canonicalFilePath(); // empty when it leads nowhere
        if (!target.isEmpty() && !linkTo.contains(target))
            linkTo.insert(target, link.absoluteFilePath());
    }
    for (PortRecord &record : records) {
        const auto at = linkTo.constFind(QFileInfo(record.path).canonicalFilePath());
        if (at != linkTo.cend())
            record.byIdPath = *at;
    }
}

QStringList defaultLockFolders()
{
    QStringList folders;
    const QStringList candidates{
        QStringLiteral("/var/lock"),
        QStringLiteral("/run/lock"),
        QStringLiteral("/var/lock/lockdev"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStandardPaths::writableLocation(QStandardPaths::TempLocation),
    };
    for (const QString &candidate : candidates) {
        const QString folder = QFileInfo(candidate).canonicalFilePath();
        if (!folder.isEmpty() && !folders.contains(folder))
            folders << folder;
    }
    return folders;
}

std::vector<PortAccess> checkPortAccess(const std::vector<PortRecord> &records,
                                        const QStringList &lockFolders)
{
    std::vector<PortAccess> result(records.size());
    const QMultiHash<QString, QString> locks = lockFiles(lockFolders);
    QHash<QByteArray, std::vector<size_t>> unsettled; // real path → records
    for (size_t i = 0; i < records.size(); ++i) {
        const QByteArray path = QFile::encodeName(records[i].path);
        struct stat status;
        if (::stat(path.constData(), &status) != 0)
            continue; // gone since it was listed: the open will say so
        if (::access(path.constData(), R_OK | W_OK) != 0) {
            if (errno == EACCES || errno == EPERM)
                result[i] = noPermission(status.st_gid);
            continue;
        }
        char real[PATH_MAX];
        const QString realPath =
            ::realpath(path.constData(), real) ? QFile::decodeName(real) : QString();
        if (const qint64 pid = lockHolder(lockNames(records[i], realPath), locks)) {
            result[i].problem = PortAccess::InUse;
            result[i].pid = pid;
            result[i].holder = programName(pid);
            continue;
        }
        if (!realPath.isEmpty())
            unsettled[QByteArray(real)].push_back(i);
    }
    if (unsettled.isEmpty())
        return result;
    std::vector<std::string> paths;
    for (auto it = unsettled.cbegin(); it != unsettled.cend(); ++it)
        paths.emplace_back(it.key().constData(), size_t(it.key().size()));
    const QHash<QByteArray, qint64> holders = openHolders(std::move(paths));
    for (auto it = holders.cbegin(); it != holders.cend(); ++it) {
        for (const size_t i : unsettled.value(it.key())) {
            result[i].problem = PortAccess::InUse;
            result[i].pid = it.value();
            result[i].holder = programName(it.value());
        }
    }
    return result;
}

QString portProblemText(const PortAccess &access)
{
    switch (access.problem) {
    case PortAccess::None:
        break;
    case PortAccess::NoPermission:
        if (access.rejoinNeeded)
            return QStringLiteral("no permission: log in again, so that your membership of "
                                  "the group \"%1\" takes effect")
                .arg(access.group);
        if (access.group.isEmpty() || access.group == u"root")
            return QStringLiteral("no permission: only root may open it; a udev rule can give "
                                  "it to the group \"dialout\", then join that group and log "
                                  "in again");
        return QStringLiteral("no permission: join the group \"%1\" (sudo usermod -aG %1 %2), "
                              "then log in again")
            .arg(access.group, access.user.isEmpty() ? QStringLiteral("$USER") : access.user);
    case PortAccess::InUse:
        if (access.pid <= 0)
            return QStringLiteral("in use by another program");
        if (access.holder.isEmpty())
            return QStringLiteral("in use by process %1").arg(access.pid);
        return QStringLiteral("in use by %1 (pid %2)").arg(access.holder).arg(access.pid);
    }
    return {};
}

QString portItemText(const PortRecord &record, const PortAccess &access)
{
    QStringList details;
    if (!record.description.isEmpty())
        details << record.description;
    if (!record.manufacturer.isEmpty())
        details << record.manufacturer;
    if (record.hasUsbIds)
        details << QStringLiteral("USB %1:%2")
                       .arg(record.vendorId, 4, 16, QLatin1Char('0'))
                       .arg(record.productId, 4, 16, QLatin1Char('0'));
    if (!record.serialNumber.isEmpty())
        details << QStringLiteral("serial ") + record.serialNumber;
    QString text = record.path;
    if (!details.isEmpty())
        text += QStringLiteral(" — ") + details.join(QStringLiteral(", "));
    if (const QString problem = portProblemText(access); !problem.isEmpty())
        text += QStringLiteral(" — ") + problem;
    return text;
}

QString portChoice(const PortRecord &record)
{
    return record.byIdPath.isEmpty() ? record.path : record.byIdPath;
}

} // namespace tallowick
