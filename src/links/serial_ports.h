#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace tallowick {

// A serial port present on the system, as the port list shows it.
struct PortRecord
{
    QString path;     // the device node, e.g. /dev/ttyUSB0
    QString byIdPath; // its stable /dev/serial/by-id/... name; empty when it has none
    QString description;
    QString manufacturer;
    QString serialNumber;
    quint16 vendorId = 0;
    quint16 productId = 0;
    bool hasUsbIds = false;
};

// Where the system shows its ports; tests point these at folders of their own.
struct PortPlaces
{
    QString ttyClass = QStringLiteral("/sys/class/tty");
    QString devices = QStringLiteral("/dev");
    QString byId = QStringLiteral("/dev/serial/by-id");
};

// The ports present right now, in natural order of their paths. Read from
// sysfs without opening any device: opening a tty raises its DTR and RTS
// lines, even when another program has it open and has lowered them.
std::vector<PortRecord> presentSerialPorts(const PortPlaces &places = {});

// Fills in byIdPath of every record that a link in `byIdFolder` leads to.
void addByIdNames(std::vector<PortRecord> &records, const QString &byIdFolder);

// The seam through which the port list reads the ports present.
using PortLister = std::function<std::vector<PortRecord>()>;

// Why a port cannot be opened, found before any Send.
struct PortAccess
{
    enum Problem { None, NoPermission, InUse };
    Problem problem = None;
    QString group;             // NoPermission: the group that owns the device
    bool rejoinNeeded = false; // NoPermission: a member of it, but not in this login yet
    QString user;              // NoPermission: who runs this program
    qint64 pid = 0;            // InUse: the holder, when known
    QString holder;            // InUse: its program name, when known
};

// Lock folders of the UUCP convention, and those where QSerialPort puts its own.
QStringList defaultLockFolders();

// One result per record. No device is opened: permission is access(2), and a
// port is in use when a lock file names a live process other than this one,
// or another process has it open (as far as /proc lets this user see).
std::vector<PortAccess> checkPortAccess(const std::vector<PortRecord> &records,
                                        const QStringList &lockFolders = defaultLockFolders());

// What the list shows for a port: path, what the system knows of it, and why
// it cannot be opened.
QString portItemText(const PortRecord &record, const PortAccess &access);
// What the reason alone reads; empty when there is none.
QString portProblemText(const PortAccess &access);
// What choosing the port puts into the box: the stable name when there is one.
QString portChoice(const PortRecord &record);

} // namespace tallowick
