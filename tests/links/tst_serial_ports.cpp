// The list of serial ports offered in comSelect: what it reads from the
// system, what it shows, what choosing puts into the box, and that it never
// opens a device to find out.
#include "links/serial_link.h"
#include "links/serial_ports.h"
#include "support/files.h"
#include "support/pty_pair.h"
#include "support/window_fixture.h"
#include "ui/port_picker.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <grp.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tallowick;
using namespace tallowick::test;

namespace {

// Whether a process of ours is alive with no signal pending: a signal sent to
// it is pending from the moment kill() returns until it is delivered, and a
// fatal one delivered leaves a zombie, or nothing once reaped. No wait needed.
bool aliveAndUnsignalled(qint64 pid)
{
    const QByteArray status = readFile(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.isEmpty())
        return false;
    for (const QByteArray &line : status.split('\n')) {
        const QByteArray value = line.mid(line.indexOf(':') + 1).trimmed();
        if (line.startsWith("State:") && (value.startsWith('Z') || value.startsWith('X')))
            return false;
        if ((line.startsWith("SigPnd:") || line.startsWith("ShdPnd:")) &&
            value != QByteArray(value.size(), '0'))
            return false;
    }
    return true;
}

PortRecord port(const QString &path, const QString &byId = {})
{
    PortRecord record;
    record.path = path;
    record.byIdPath = byId;
    return record;
}

// `who` is the group for NoPermission, the holding program for InUse.
PortAccess trouble(PortAccess::Problem problem, const QString &who, bool rejoin = false)
{
    PortAccess access;
    access.problem = problem;
    (problem == PortAccess::InUse ? access.holder : access.group) = who;
    access.rejoinNeeded = rejoin;
    access.user = QStringLiteral("ada");
    access.pid = 4242;
    return access;
}

// Runs `command` as the user nobody, with no group of its own that opens
// anything: whether it ended well.
bool nobodyRuns(const QString &setpriv, const QStringList &command,
                QProcess::ProcessChannelMode shown = QProcess::ForwardedErrorChannel)
{
    QProcess run;
    run.setProcessChannelMode(shown);
    run.start(setpriv,
              QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} + command);
    return run.waitForFinished(60'000) && run.exitStatus() == QProcess::NormalExit &&
           run.exitCode() == 0;
}

// The first folder on the way to `path` that nobody may not pass, as a
// folder of root's home is; empty when it passes them all.
QString folderClosedToNobody(const QString &setpriv, const QString &path)
{
    const QString test = QStandardPaths::findExecutable(QStringLiteral("test"));
    QStringList folders;
    for (QString folder = QFileInfo(path).absolutePath();; folder = QFileInfo(folder).path()) {
        folders.prepend(folder);
        if (QFileInfo(folder).isRoot())
            break;
    }
    for (const QString &folder : folders)
        if (!nobodyRuns(setpriv, {test, "-x", folder}))
            return folder;
    return {};
}

QStringList shownItems(const QMenu *list)
{
    QStringList texts;
    for (const QAction *item : list->actions())
        texts << item->iconText() + (item->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
    return texts;
}

} // namespace

class TestSerialPorts : public QObject
{
    Q_OBJECT
private slots:
    // A machine with a USB adapter, two UARTs, a ttyS with no UART behind it, a
    // virtual terminal, and an adapter pulled out while the list was read.
    void portsFromSysfs()
    {
        QTemporaryDir root;
        lay(root.path(), QByteArray(R"(
sys/devices/usb1/1-1/idVendor=0403
sys/devices/usb1/1-1/idProduct=6001
sys/devices/usb1/1-1/manufacturer=FTDI
sys/devices/usb1/1-1/product=FT232R USB UART
sys/devices/usb1/1-1/serial=A50285BI
sys/devices/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0/uevent=DEVNAME=ttyUSB0
sys/devices/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0/device->../../../ttyUSB0
sys/devices/usb1/1-1/1-1:1.1/ttyUSB1/tty/ttyUSB1/device->../../../ttyUSB1
sys/devices/pnp0/ttyS10/tty/ttyS10/type=4
sys/devices/pnp0/ttyS10/tty/ttyS10/device->../..
sys/devices/pnp0/ttyS2/tty/ttyS2/type=4
sys/devices/pnp0/ttyS2/tty/ttyS2/device->../..
sys/devices/pnp0/ttyS1/tty/ttyS1/type=0
sys/devices/pnp0/ttyS1/tty/ttyS1/device->../..
sys/devices/virtual/tty/tty1/uevent=DEVNAME=tty1
sys/class/tty/ttyUSB0->../../devices/usb1/1-1/1-1:1.0/ttyUSB0/tty/ttyUSB0
sys/class/tty/ttyUSB1->../../devices/usb1/1-1/1-1:1.1/ttyUSB1/tty/ttyUSB1
sys/class/tty/ttyS10->../../devices/pnp0/ttyS10/tty/ttyS10
sys/class/tty/ttyS2->../../devices/pnp0/ttyS2/tty/ttyS2
sys/class/tty/ttyS1->../../devices/pnp0/ttyS1/tty/ttyS1
sys/class/tty/tty1->../../devices/virtual/tty/tty1
dev/ttyUSB0=
dev/ttyS10=
dev/ttyS2=
dev/ttyS1=
dev/tty1=
dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0->../../ttyUSB0
)")
                             .split('\n'));
        const QString dev = root.filePath(QStringLiteral("dev/"));
        QStringList found;
        for (const PortRecord &record : presentSerialPorts(
                 {root.filePath(QStringLiteral("sys/class/tty")), dev, dev + "serial/by-id"}))
            found << portItemText(record, {}) + " => " + portChoice(record);
        QCOMPARE(found, QStringList(
                            {dev + "ttyS2 => " + dev + "ttyS2", dev + "ttyS10 => " + dev + "ttyS10",
                             dev +
                                 "ttyUSB0 — FT232R USB UART, FTDI, USB 0403:6001, serial "
                                 "A50285BI => " +
                                 dev + "serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0"}));
    }

    // The by-id link chosen for a device, none when no link leads to it.
    void byIdNames()
    {
        QTemporaryDir root;
        const QString dev = root.filePath(QStringLiteral("dev/"));
        const QString folder = dev + QStringLiteral("serial/by-id/");
        lay(dev, QByteArray(R"(
ttyUSB0=
ttyUSB1=
ttyACM0=
alias->ttyUSB0
serial/by-id/usb-FTDI_A50285BI-if00-port0->../../ttyUSB0
serial/by-id/usb-b-if01->../../ttyUSB1
serial/by-id/usb-a-if00->../../ttyUSB1
serial/by-id/usb-gone-if00->../../ttyUSB9
serial/by-id/loop->loop
)")
                     .split('\n'));
        const std::pair<QString, QString> rows[] = {
            {"ttyUSB0", "usb-FTDI_A50285BI-if00-port0"}, // udev's relative link
            {"ttyUSB1", "usb-a-if00"},                   // two links: the first by name
            {"ttyACM0", ""},
            {"alias", "usb-FTDI_A50285BI-if00-port0"}, // the record names a link itself
            {"ttyUSB9", ""}};                          // only a dangling link
        for (const auto &[device, byId] : rows) {
            std::vector<PortRecord> records{port(dev + device)};
            addByIdNames(records, folder);
            QCOMPARE(records[0].byIdPath, byId.isEmpty() ? QString() : folder + byId);
            QCOMPARE(portChoice(records[0]), byId.isEmpty() ? dev + device : folder + byId);
            records[0].byIdPath.clear();
            addByIdNames(records, root.filePath(QStringLiteral("no-such-folder")));
            QCOMPARE(records[0].byIdPath, QString());
        }
    }

    void itemTexts_data()
    {
        QTest::addColumn<PortRecord>("record");
        QTest::addColumn<PortAccess>("access");
        QTest::addColumn<QString>("text");
        PortRecord usb = port("/dev/ttyUSB0");
        usb.description = QStringLiteral("CP2102 USB to UART Bridge Controller");
        usb.manufacturer = QStringLiteral("Silicon Labs");
        usb.serialNumber = QStringLiteral("0001");
        usb.vendorId = 0x10c4;
        usb.productId = 0xea60;
        usb.hasUsbIds = true;
        const QString cp2102 =
            QStringLiteral("/dev/ttyUSB0 — CP2102 USB to UART Bridge Controller, "
                           "Silicon Labs, USB 10c4:ea60, serial 0001");
        const PortRecord uart = port("/dev/ttyS0");
        QTest::newRow("all known") << usb << PortAccess{} << cp2102;
        QTest::newRow("no permission")
            << usb << trouble(PortAccess::NoPermission, "dialout")
            << cp2102 +
                   " — no permission: join the group \"dialout\" (sudo usermod -aG dialout ada), "
                   "then log in again";
        QTest::newRow("joined, not logged in again")
            << uart << trouble(PortAccess::NoPermission, "dialout", true)
            << uart.path + " — no permission: log in again, so that your membership of the group "
                           "\"dialout\" takes effect";
        QTest::newRow("root's alone")
            << uart << trouble(PortAccess::NoPermission, "root")
            << uart.path + " — no permission: only root may open it; a udev "
                           "rule can give it to the group \"dialout\", then "
                           "join that group and log in again";
        PortAccess unnamed = trouble(PortAccess::InUse, "");
        unnamed.pid = 1;
        QTest::newRow("in use by pid 1") << uart << unnamed << uart.path + " — in use by process 1";
        unnamed.pid = 0;
        QTest::newRow("in use, no pid")
            << uart << unnamed << uart.path + " — in use by another program";
        QTest::newRow("in use") << uart << trouble(PortAccess::InUse, "minicom")
                                << uart.path + " — in use by minicom (pid 4242)";
    }

    void itemTexts()
    {
        QFETCH(PortRecord, record);
        QFETCH(PortAccess, access);
        QTEST(portItemText(record, access), "text");
    }

    void inUseMarks_data()
    {
        QTest::addColumn<QString>("lockName"); // %1: the device's own name, %2: QSerialPort's
        QTest::addColumn<QByteArray>("lock");  // %1: a live process, %2: this one
        QTest::addColumn<bool>("held");        // that process has the device open
        QTest::addColumn<bool>("inUse");
        const auto row = [](const char *name, const char *lockName, const QByteArray &lock,
                            bool held, bool inUse) {
            QTest::newRow(name) << QString::fromLatin1(lockName) << lock << held << inUse;
        };
        row("free", "", {}, false, false);
        row("UUCP lock, live", "LCK..%1", QByteArray("%1\n").rightJustified(11), false, true);
        row("QSerialPort lock, live", "LCK..%2", "%1\nsleep\nhost\n", false, true);
        row("binary lock, live", "LCK..%1", "binary", false, true);
        row("stale lock", "LCK..%1", "2147483646\n", false, false);
        row("lock of this program", "LCK..%1", "%2\n", false, false);
        row("lock of another port", "LCK..ttyS9", "%1\n", false, false);
        row("garbage lock", "LCK..%1", "tallowick", false, false);
        row("held open, no lock", "", {}, true, true);
    }

    void inUseMarks()
    {
        QFETCH(QString, lockName);
        QFETCH(QByteArray, lock);
        QFETCH(bool, held);
        QFETCH(bool, inUse);
        QTemporaryDir root;
        const QString device = root.filePath(QStringLiteral("dev/ttyFAKE0"));
        lay(root.path(), {"dev/ttyFAKE0="});
        QProcess other;
        if (held)
            other.setStandardInputFile(device);
        other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(other.waitForStarted());
        const qint64 pid = other.processId();
        const QString locks = root.filePath(QStringLiteral("lock"));
        lock.replace("%1", QByteArray::number(pid)).replace("%2", QByteArray::number(::getpid()));
        if (lock == "binary") {
            const qint32 binaryPid = qint32(pid);
            lock = QByteArray(reinterpret_cast<const char *>(&binaryPid), sizeof binaryPid);
        }
        lockName.replace(QStringLiteral("%1"), QStringLiteral("ttyFAKE0"))
            .replace(QStringLiteral("%2"), QString(device).replace(u'/', u'_'));
        QDir().mkpath(locks);
        QVERIFY(lockName.isEmpty() || writeFile(locks + u'/' + lockName, lock));

        const std::vector<PortAccess> access = checkPortAccess({port(device)}, {locks});
        QVERIFY(aliveAndUnsignalled(pid)); // looked at, not signalled
        QCOMPARE(portProblemText(access.at(0)),
                 inUse ? QStringLiteral("in use by sleep (pid %1)").arg(pid) : QString());
        if (held) { // the same mark in the list, once its check in the background is done
            QLineEdit box;
            PortPicker picker(&box, [&device] { return std::vector<PortRecord>{port(device)}; });
            QSignalSpy checked(&picker, &PortPicker::listChecked);
            picker.showList();
            QVERIFY(checked.wait(10'000));
            const QAction *item = picker.list()->actions().at(0);
            QCOMPARE(item->iconText(), device + " — " + portProblemText(access.at(0)));
            QVERIFY(!item->icon().isNull() && item->isEnabled());
        }
        other.kill();
        other.waitForFinished();
    }

    // Root opens every device, so as root the check runs again in this program
    // started as nobody, on a device of the group dialout.
    void noPermissionMark()
    {
        if (const QByteArray device = qgetenv("TALLOWICK_DENIED_PORT"); !device.isEmpty()) {
            const PortAccess access =
                checkPortAccess({port(QString::fromLocal8Bit(device))}, {}).at(0);
            QCOMPARE(portProblemText(access),
                     QStringLiteral("no permission: join the group \"dialout\" (sudo usermod -aG "
                                    "dialout nobody), then log in again"));
            return;
        }
        QTemporaryDir root;
        const QString device = root.filePath(QStringLiteral("ttyDENIED0"));
        lay(root.path(), {"ttyDENIED0="});
        if (::geteuid() != 0) {
            QCOMPARE(::chmod(QFile::encodeName(device).constData(), 0200), 0);
            const PortAccess access = checkPortAccess({port(device)}, {}).at(0);
            QCOMPARE(access.problem, PortAccess::NoPermission);
            QVERIFY(portProblemText(access).startsWith(QStringLiteral("no permission: ")));
            return;
        }
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        const bool nobodyThere = ::getpwnam("nobody") && ::getgrnam("nogroup");
        const group *dialout = ::getgrnam("dialout"); // valid until the next getgrnam
        const gid_t dialoutId = dialout ? dialout->gr_gid : 0;
        if (!dialout || !nobodyThere || setpriv.isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("test")).isEmpty())
            QSKIP("running as root, which opens any device, with no setpriv, test, user nobody, "
                  "group nogroup or group dialout to run the check as another user");
        QCOMPARE(::chmod(QFile::encodeName(root.path()).constData(), 0755), 0);
        QCOMPARE(::chown(QFile::encodeName(device).constData(), 0, dialoutId), 0);
        QCOMPARE(::chmod(QFile::encodeName(device).constData(), 0660), 0);
        // Whether nobody gets to run this program and to see the device at all:
        // a build tree or temporary folder in root's home is closed to it, and
        // that is no fault of the check.
        const QString program = QCoreApplication::applicationFilePath();
        for (const QString &path : {program, device}) {
            if (const QString closed = folderClosedToNobody(setpriv, path); !closed.isEmpty())
                QSKIP(qPrintable("the user nobody, as whom the check runs, cannot reach " + path +
                                 ": the folder " + closed +
                                 " is closed to it, as root's home is (the check needs a "
                                 "build tree and a temporary folder that others may enter)"));
        }
        if (!nobodyRuns(setpriv, {program, QStringLiteral("-functions")}))
            QSKIP(qPrintable("the user nobody, as whom the check runs, cannot start " + program +
                             " (see its messages above)"));
        // The same test, run as nobody, ends in the branch above.
        qputenv("TALLOWICK_DENIED_PORT", QFile::encodeName(device));
        const bool passed = nobodyRuns(setpriv, {program, QStringLiteral("noPermissionMark")},
                                       QProcess::ForwardedChannels);
        qunsetenv("TALLOWICK_DENIED_PORT");
        QVERIFY(passed);
    }

    void openingAndChoosing_data()
    {
        QTest::addColumn<int>("opener"); // 0: the button, else the key with Alt when negative
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("pick"); // keys in the list, then what the box holds
        QTest::newRow("button, first port")
            << 0 << true << QStringList{"Down", "Return", "/dev/serial/by-id/usb-1"};
        QTest::newRow("Alt+Down, second port")
            << -int(Qt::Key_Down) << true << QStringList{"Down", "Down", "Return", "/dev/ttyFAKE1"};
        QTest::newRow("F4, AT&T modem")
            << int(Qt::Key_F4) << true << QStringList{"Up", "Return", "/dev/ttyFAKE7"};
        QTest::newRow("F4, list closed unchosen")
            << int(Qt::Key_F4) << true << QStringList{"Escape", "3"};
        QTest::newRow("Down alone") << int(Qt::Key_Down) << false << QStringList{"3"};
        QTest::newRow("Alt+F4") << -int(Qt::Key_F4) << false << QStringList{"3"};
    }

    void openingAndChoosing()
    {
        QFETCH(int, opener);
        QFETCH(bool, opens);
        QFETCH(QStringList, pick);
        QLineEdit box;
        box.setObjectName(QStringLiteral("box"));
        box.setText(QStringLiteral("3"));
        PortRecord modem = port("/dev/ttyFAKE7");
        modem.description = QStringLiteral("AT&T modem");
        auto *picker = new PortPicker(&box, [&modem] {
            return std::vector<PortRecord>{port("/dev/ttyFAKE0", "/dev/serial/by-id/usb-1"),
                                           port("/dev/ttyFAKE1"), modem};
        });
        QCOMPARE(box.findChild<QAction *>(QStringLiteral("boxPorts")), picker->button());
        QMenu *list = box.findChild<QMenu *>(QStringLiteral("boxPortList"));
        QVERIFY(list);
        QSignalSpy edits(&box, &QLineEdit::textEdited);

        if (opener == 0)
            picker->button()->trigger();
        else
            QTest::keyClick(&box, Qt::Key(std::abs(opener)),
                            opener < 0 ? Qt::AltModifier : Qt::NoModifier);
        QCOMPARE(list->isVisible(), opens);
        if (opens)
            QCOMPARE(shownItems(list),
                     QStringList({"/dev/ttyFAKE0", "/dev/ttyFAKE1", "/dev/ttyFAKE7 — AT&T modem"}));
        const QString holds = pick.takeLast();
        for (const QString &key : pick)
            QTest::keyClick(list, Qt::Key(QKeySequence::fromString(key)[0].key()));
        QTRY_VERIFY_WITH_TIMEOUT(!list->isVisible(), 5000);
        QCOMPARE(box.text(), holds);
        QCOMPARE(edits.count(), holds == u"3" ? 0 : 1);
        if (holds != u"3") {
            box.undo(); // a choice undoes as typing does
            QCOMPARE(box.text(), QStringLiteral("3"));
        }
    }

    // comSelect is two characters wide: its tooltip begins with its whole text,
    // however the text came, and the list checks the port the box names, by
    // any of its names. Steps: "type TEXT" over the text, "choose N" in the
    // list, "set TEXT" by the program, "undo"; %1 is a folder with a device
    // reached through links.
    void boxNamesItsPort_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("marked"); // the checked item, -1 for none
        const auto row = [](const char *name, const char *steps, const char *text, int marked) {
            QTest::newRow(name) << QString::fromUtf8(steps) << QString::fromUtf8(text) << marked;
        };
        row("empty", "", "", -1);
        row("a number", "type 3", "3", 2);
        row("by-id name typed", "type /dev/serial/by-id/usb-1", "/dev/serial/by-id/usb-1", 0);
        row("device of a by-id name typed", "type /dev/ttyFAKE0", "/dev/ttyFAKE0", 0);
        row("bare name", "type ttyFAKE1", "ttyFAKE1", 1);
        row("set by the program", "set /dev/ttyFAKE1", "/dev/ttyFAKE1", 1);
        row("chosen, then typed over", "choose 0; type 2", "2", -1);
        row("chosen, then undone", "type ttyFAKE1; choose 3; undo", "ttyFAKE1", 1);
        row("real by-id link chosen", "choose 3", "%1/by-id/usb-2", 3);
        row("another link to the device", "type %1/by-path/pci-1", "%1/by-path/pci-1", 3);
        row("no such port", "type /dev/ttyUSB9", "/dev/ttyUSB9", -1);
        row("looks like markup", "type <b>1</b> & 2", "<b>1</b> & 2", -1);
    }

    void boxNamesItsPort()
    {
        QFETCH(QString, steps);
        QFETCH(QString, text);
        QFETCH(int, marked);
        QTemporaryDir root;
        lay(root.path(), {"ttyUSB0=", "by-id/usb-2->../ttyUSB0", "by-path/pci-1->../by-id/usb-2"});
        steps.replace(QStringLiteral("%1"), root.path());
        text.replace(QStringLiteral("%1"), root.path());
        WindowFixture f;
        QLineEdit *box = f.ui().comSelect;
        const QString hint = box->toolTip();
        QVERIFY(box->text().isEmpty() && hint.startsWith(QStringLiteral("A number n opens")));
        auto *picker = box->findChild<PortPicker *>();
        picker->setLister([&root] {
            return std::vector<PortRecord>{port("/dev/ttyFAKE0", "/dev/serial/by-id/usb-1"),
                                           port("/dev/ttyFAKE1"), port("/dev/ttyS2"),
                                           port(root.filePath(QStringLiteral("ttyUSB0")),
                                                root.filePath(QStringLiteral("by-id/usb-2")))};
        });

        for (const QString &step : steps.split(QStringLiteral("; "), Qt::SkipEmptyParts)) {
            const QString argument = step.section(u' ', 1);
            if (step.startsWith(u"type ")) {
                box->selectAll();
                QTest::keyClicks(box, argument);
            } else if (step.startsWith(u"choose ")) {
                picker->showList();
                picker->list()->actions().at(argument.toInt())->trigger();
                picker->list()->hide();
            } else if (step.startsWith(u"set ")) {
                box->setText(argument);
            } else {
                QCOMPARE(step, QStringLiteral("undo"));
                box->undo();
            }
        }
        QCOMPARE(box->text(), text);
        // What the tooltip shows, drawn as markup when it looks like markup.
        QString shown = box->toolTip();
        if (Qt::mightBeRichText(shown)) {
            QTextDocument document;
            document.setHtml(shown);
            shown = document.toPlainText();
        }
        QCOMPARE(shown.split(u'\n', Qt::SkipEmptyParts),
                 (text.isEmpty() ? QStringList() : QStringList{text}) +
                     hint.split(u'\n', Qt::SkipEmptyParts));

        picker->showList();
        QList<int> checked;
        const QList<QAction *> items = picker->list()->actions();
        for (qsizetype i = 0; i < items.size(); ++i)
            if (items[i]->isChecked())
                checked << int(i);
        QCOMPARE(checked, marked < 0 ? QList<int>() : QList<int>{marked});
        QCOMPARE(picker->list()->activeAction(), marked < 0 ? nullptr : items[marked]);
        picker->list()->hide();
    }

    // The list is read each time it opens: a port plugged in is there, one pulled
    // out is gone, and with none the list says so.
    void readAfreshEachOpen()
    {
        QLineEdit box;
        const std::vector<std::vector<PortRecord>> plugged{
            {port("/dev/ttyFAKE0")}, {port("/dev/ttyFAKE1"), port("/dev/ttyFAKE2")}, {}};
        const QStringList shown[] = {{"/dev/ttyFAKE0"},
                                     {"/dev/ttyFAKE1", "/dev/ttyFAKE2"},
                                     {"No serial port found (disabled)"}};
        size_t now = 0;
        PortPicker picker(&box, [&] { return plugged[now]; });
        for (now = 0; now < plugged.size(); ++now) {
            picker.showList();
            QCOMPARE(shownItems(picker.list()), shown[now]);
            picker.list()->hide();
        }
    }

    // The real list of this machine beside a pty reached through a by-id folder
    // full of odd entries; the list never opens a device, and what it puts into
    // comSelect is a path the serial link opens.
    void realPtyThroughTheWindow()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QTemporaryDir byId;
        lay(byId.path(), {"usb-Tallowick_pty-if00-port0->" + pty.slavePath().toUtf8(),
                          "usb-gone->/dev/tallowick-gone", "loop->loop", "folder/file="});
        QCOMPARE(
            ::mkfifo(QFile::encodeName(byId.filePath(QStringLiteral("fifo"))).constData(), 0600),
            0);

        tallowick::test::WindowFixture f;
        auto *box = f.window->findChild<QLineEdit *>(QStringLiteral("comSelect"));
        QVERIFY(box);
        QVERIFY(box->toolTip().contains(QStringLiteral("A number n opens the n-th serial port")));
        QVERIFY(box->toolTip().contains(QStringLiteral("Alt+Down or F4")));
        box->findChild<PortPicker *>()->setLister([&] {
            std::vector<PortRecord> records = presentSerialPorts({.byId = byId.path()});
            records.push_back(port(pty.slavePath()));
            addByIdNames(records, byId.path());
            return records;
        });

        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(::inotify_add_watch(watch, QFile::encodeName(pty.slavePath()).constData(),
                                    IN_OPEN) >= 0);
        const auto opened = [watch] {
            char events[4096];
            return ::read(watch, events, sizeof events) > 0;
        };
        QSignalSpy checked(box->findChild<PortPicker *>(), &PortPicker::listChecked);
        box->findChild<QAction *>(QStringLiteral("comSelectPorts"))->trigger();
        auto *list = box->findChild<QMenu *>(QStringLiteral("comSelectPortList"));
        QVERIFY(list && list->isVisible());
        QVERIFY(checked.wait(10'000));
        QAction *ptyItem = list->actions().constLast();
        QCOMPARE(ptyItem->iconText(), pty.slavePath());
        QVERIFY2(!opened(), "the list opened the device");
        ptyItem->trigger();
        QCOMPARE(box->text(), byId.filePath(QStringLiteral("usb-Tallowick_pty-if00-port0")));

        SerialLink serial;
        QCOMPARE(serial.open(LinkTarget::serial(box->text(), QStringLiteral("9600,n,8,1"))),
                 LinkError::None);
        QVERIFY(opened()); // the watch sees opens: the silence above meant something
        QVERIFY(serial.write(QByteArray("\x01\x03", 2)));
        QCOMPARE(pty.read(), QByteArray("\x01\x03", 2));
        ::close(watch);
    }
};

QTEST_MAIN(TestSerialPorts)
#include "tst_serial_ports.moc"
