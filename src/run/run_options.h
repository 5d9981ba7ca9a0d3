#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace tallowick {

// What a headless run does, as its command line says. Every setting is kept
// as text, as it would stand in its box of the window: the engine's own checks
// judge it when it is read.
struct RunOptions
{
    QString slotFile;
    std::optional<QString> sendLine; // one exchange of this line, else a repeat run
    std::optional<QString> firstLine, lastLine, passes, pause, timeout;
    std::optional<QString> address, port; // --tcp
    std::optional<QString> serialPort;    // --serial: the serial link instead of TCP
    QString serialSettings = QStringLiteral("9600,n,8,1");
    bool appendCrc = true;
    bool keepLink = false;
};

// What the command line asks for besides a run.
enum class RunRequest { Help, Version };

// Why the command line cannot be run.
struct UsageError
{
    QString text;
};

using ParsedCommandLine = std::variant<RunOptions, RunRequest, UsageError>;

// args without the program's name.
ParsedCommandLine parseRunCommandLine(const QStringList &args);

QString runUsage();

} // namespace tallowick
