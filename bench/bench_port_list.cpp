// The port list of comSelect opened with 50 ports present: read through its
// seam (a fixed list here), filled, shown and painted, against a plain menu of
// 50 paths shown and painted the same way; then the time until the check in
// the background has marked the ports that cannot be opened.
#include "bench_scenarios.h"

#include "links/serial_ports.h"
#include "ui/port_picker.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

namespace tallowick::bench {

namespace {

constexpr int portCount = 50;

// Ports as a bench of USB adapters shows them, each a file that exists, so
// that the whole check runs for every one: access(2), every lock folder, and
// the pass over the open files of the processes in /proc.
std::vector<PortRecord> fakePorts(const QTemporaryDir &folder)
{
    std::vector<PortRecord> records;
    for (int i = 0; i < portCount; ++i) {
        PortRecord record;
        record.path = folder.filePath(QStringLiteral("ttyUSB%1").arg(i));
        QFile device(record.path);
        if (!device.open(QIODevice::WriteOnly))
            return {};
        const QString serial = QStringLiteral("A%1").arg(i, 7, 10, QLatin1Char('0'));
        record.byIdPath =
            QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_%1-if00-port0").arg(serial);
        record.description = QStringLiteral("FT232R USB UART");
        record.manufacturer = QStringLiteral("FTDI");
        record.serialNumber = serial;
        record.vendorId = 0x0403;
        record.productId = 0x6001;
        record.hasUsbIds = true;
        records.push_back(record);
    }
    return records;
}

double msSince(qint64 start)
{
    return double(monotonicNs() - start) / 1e6;
}

} // namespace

std::vector<Row> portList(const Plan &plan)
{
    const QString scenario =
        QStringLiteral("Port list opened with %1 ports (fixed list): read, filled, shown, painted")
            .arg(portCount);
    QTemporaryDir folder;
    const std::vector<PortRecord> records = fakePorts(folder);
    if (records.empty())
        return {setupFailed(scenario, QStringLiteral("no device files"))};

    QLineEdit box;
    box.setObjectName(QStringLiteral("comSelect"));
    box.setText(QStringLiteral("1"));
    box.show();
    auto *picker = new PortPicker(&box, [&records] { return records; });
    QMenu plain;
    std::vector<double> program;
    std::vector<double> baseline;
    std::vector<double> marked;
    bool valid = true;
    for (int r = 0; r < plan.portRepetitions; ++r) {
        QEventLoop checked;
        QObject::connect(picker, &PortPicker::listChecked, &checked, &QEventLoop::quit);
        QTimer::singleShot(5000, &checked, [&checked, &valid] {
            valid = false;
            checked.quit();
        });
        qint64 start = monotonicNs();
        picker->showList();
        picker->list()->repaint();
        program.push_back(msSince(start));
        // The marks of ports that cannot be opened, from the check in the background.
        checked.exec();
        picker->list()->repaint();
        marked.push_back(msSince(start));
        picker->list()->hide();

        start = monotonicNs();
        plain.clear();
        for (const PortRecord &record : records)
            plain.addAction(record.path);
        plain.popup(box.mapToGlobal(QPoint(0, box.height())));
        plain.repaint();
        baseline.push_back(msSince(start));
        plain.hide();
        runEventLoopFor(std::chrono::milliseconds(5));
    }

    // The seam on what this machine has, as the list reads it on the UI thread.
    std::vector<double> here;
    size_t present = 0;
    for (int r = 0; r < plan.portRepetitions; ++r) {
        const qint64 start = monotonicNs();
        present = presentSerialPorts().size();
        here.push_back(msSince(start));
    }
    const qsizetype processes =
        QDir(QStringLiteral("/proc")).entryList({QStringLiteral("[0-9]*")}, QDir::Dirs).size();

    const Stats p = statsOf(program);
    const Stats b = statsOf(baseline);
    const Stats m = statsOf(marked);
    const Stats h = statsOf(here);
    const QString goal = QStringLiteral("under 50 ms");
    const QString failed = valid ? QString() : QStringLiteral("a check never ended");
    return {{scenario, formatStats(p, QStringLiteral("ms"), 2),
             formatStats(b, QStringLiteral("ms"), 2) + QStringLiteral(" (plain menu)"),
             QString::number(p.median / b.median, 'f', 2), goal, valid && p.max < 50, failed},
            {QStringLiteral("Port list of %1 ports, opened to marks in place (checked in the "
                            "background)")
                 .arg(portCount),
             formatStats(m, QStringLiteral("ms"), 2), QString(), QString(), QString(), false,
             QStringLiteral("%1 processes in /proc").arg(processes)},
            {QStringLiteral("Ports of this machine read (%1 present)").arg(present),
             formatStats(h, QStringLiteral("ms"), 2), QString(), QString(), goal, h.max < 50,
             QString()}};
}

} // namespace tallowick::bench
