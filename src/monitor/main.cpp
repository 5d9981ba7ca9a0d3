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
    return commandLineProgram(
        argc, argv, parseMonitorCommandLine, QStringLiteral("tallowick-monitor"), monitorUsage(),
        QStringLiteral(TALLOWICK_VERSION), [](const MonitorOptions &given) {
            BusMonitor monitor(given);
            if (const auto refused = monitor.open()) {
                writeUtf8(stderr, QStringLiteral("tallowick-monitor: ") + *refused + u'\n');
                return exit_status::refused;
            }
            StopSignals stopSignals;
            QObject::connect(
                &stopSignals, &StopSignals::received, &monitor,
                [&monitor](int signal) { monitor.finish(exit_status::onSignal(signal)); });
            QObject::connect(&monitor, &BusMonitor::finished, qApp,
                             [](int status) { QCoreApplication::exit(status); });
            QTimer::singleShot(0, &monitor, &BusMonitor::start);
            return QCoreApplication::exec();
        });
}
