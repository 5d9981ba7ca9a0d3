// tallowick-monitor: every frame on a Modbus RTU serial line that someone
// else drives, with its timing, its CRC verdict and its pairing, as text,
// JSON Lines and a pcap capture. It sends nothing and needs no display.
#include "monitor/bus_monitor.h"
#include "monitor/monitor_options.h"
#include "platform/command_line.h"
#include "tallowick_version.h"

using namespace tallowick;

int main(int argc, char *argv[])
{
    return commandLineProgram(argc, argv, parseMonitorCommandLine,
                              QStringLiteral("tallowick-monitor"), monitorUsage(),
                              QStringLiteral(TALLOWICK_VERSION), [](const MonitorOptions &given) {
                                  BusMonitor monitor(given);
                                  return serveUntilFinished(monitor);
                              });
}
