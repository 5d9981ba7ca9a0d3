#pragma once

#include "config/config_value.h"
#include "frames/reply_pattern.h"
#include "platform/command_line.h"

#include <QString>
#include <QStringList>
#include <map>
#include <optional>
#include <variant>

namespace tallowick {

// What a headless run does, as its command line says. Every setting is kept
// as text, as it would stand in its box of the window: the engine's own checks
// judge it when it is read.
struct RunOptions
{
    // Empty when --line stands in for the file.
    QString slotFile;
    // The configuration values given on the command line, in place of the
    // file's: --send (the line number), --lines, --passes, --pause, --timeout,
    // --tcp (the address and port), --line (a command line).
    std::map<ConfigValue, QString> values;
    std::optional<QString> serialPort; // --serial: the serial link instead of TCP
    QString serialSettings = QStringLiteral("9600,n,8,1");
    bool appendCrc = true;
    bool keepLink = false;
    bool keepGoing = false;             // --keep-going
    bool summary = false;               // --summary
    bool mbap = false;                  // --mbap
    std::optional<QString> jsonPath;    // --json; "-" is standard output
    std::optional<QString> junitPath;   // --junit
    std::map<int, ReplyPattern> expect; // --expect, by line 1 to 15

    // One exchange of the line --send names, else a repeat run.
    bool singleSend() const { return values.count(LineNumberValue) > 0; }
};

using RunRequest = ProgramRequest;
using ParsedCommandLine = CommandLine<RunOptions>;

// args without the program's name.
ParsedCommandLine parseRunCommandLine(const QStringList &args);

QString runUsage();

} // namespace tallowick
