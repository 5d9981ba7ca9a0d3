#pragma once

#include "platform/command_line.h"

#include "links/serial_settings.h"

#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <variant>

namespace tallowick {

// What tallowick-monitor watches and where it writes, as its command line says.
struct MonitorOptions
{
    QString port;       // as given
    QString devicePath; // the device it names
    LineSettings settings;
    std::chrono::microseconds gap{0}; // t3.5 of the settings unless --gap
    std::chrono::microseconds timeout{std::chrono::seconds(1)};
    QString pcapPath; // empty: none; "-": standard output
    QString jsonPath; // empty: none; "-": standard output, instead of the text
    std::optional<quint64> frames;
    std::optional<std::chrono::milliseconds> duration;
    bool quiet = false; // --quiet: no text line a frame, the summary alone
};

using MonitorRequest = ProgramRequest;
using MonitorUsageError = UsageError;
using ParsedMonitorCommandLine = CommandLine<MonitorOptions>;

// args without the program's name.
ParsedMonitorCommandLine parseMonitorCommandLine(const QStringList &args);

QString monitorUsage();

// The line on standard error as the watch begins, so that a silent line is
// not taken for a hung program: the device and what the frames are cut and
// paired by.
QString monitorStartLine(const MonitorOptions &options);

} // namespace tallowick
