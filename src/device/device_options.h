#pragma once

#include "device/device_core.h"
#include "device/fault_rule.h"
#include "links/serial_settings.h"
#include "platform/command_line.h"

#include <QString>
#include <chrono>
#include <optional>
#include <vector>

namespace tallowick {

// Where a TCP link listens: --tcp and --mbap take [HOST:]PORT, an IPv6 host
// in brackets; port 0 lets the system choose.
struct ListenAddress
{
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 0;
};

// What tallowick-device answers, where, and what it writes, as its command
// line says.
struct DeviceOptions
{
    QString mapPath; // "-": no map
    QString serialPort;
    QString serialPath; // the device serialPort names; empty: no line
    LineSettings settings;
    std::optional<ListenAddress> tcp;
    std::optional<ListenAddress> mbap;
    UnitList units{{1, 1}};
    std::optional<std::chrono::milliseconds> delay;
    std::vector<FaultRule> faults;
    std::optional<quint64> seed; // none: a seed of the system's, told at the start
    QString replayPath;
    QString jsonPath; // "-": standard output, instead of the text
    QString savePath;
    std::optional<quint64> requests;
    std::optional<std::chrono::milliseconds> duration;
};

CommandLine<DeviceOptions> parseDeviceCommandLine(const QStringList &args);
QString deviceUsage();

// "[::1]:502" and the like, as the records name a link.
QString listenText(const QString &host, quint16 port);

} // namespace tallowick
