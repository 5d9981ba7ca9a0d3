// tallowick-monitor: every frame on a Modbus RTU serial line that someone
// else drives, with its timing, its CRC verdict and its pairing, as text,
// JSON Lines and a pcap capture. It sends nothing and needs no display.
#include "monitor/bus_monitor.h"
#include "monitor/monitor_options.h"
#include "platform/line_writer.h"
#include "platform/stop_signals.h"
#include "tallowick_version.h"

#include <QCoreApplication>
#include <QTimer>

using namespace tallowick;

int main(int argc, char *argv[])
{
    StopSignals::block();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tallowick-monitor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALLOWICK_VERSION));

    const ParsedMonitorCommandLine parsed =
        parseMonitorCommandLine(QCoreApplication::arguments().mid(1));
    if (const auto *usage = std::get_if<MonitorUsageError>(&parsed)) {
        writeUtf8(stderr, QStringLiteral("tallowick-monitor: ") + usage->text +
                              QStringLiteral("\nTry 'tallowick-monitor --help'.\n"));
        return BusMonitor::Refused;
    }
    if (const auto *request = std::get_if<MonitorRequest>(&parsed)) {
        writeUtf8(stdout, *request == MonitorRequest::Help
                              ? monitorUsage()
                              : QStringLiteral("tallowick-monitor " TALLOWICK_VERSION "\n"));
        return 0;
    }
    BusMonitor monitor(std::get<MonitorOptions>(parsed));
    if (const auto refused = monitor.open()) {
        writeUtf8(stderr, QStringLiteral("tallowick-monitor: ") + *refused + u'\n');
        return BusMonitor::Refused;
    }
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &monitor,
                     [&monitor](int signal) { monitor.finish(128 + signal); });
    QObject::connect(&monitor, &BusMonitor::finished, &app,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &monitor, &BusMonitor::start);
    return QCoreApplication::exec();
}
