#pragma once

#include "platform/exit_status.h"
#include "platform/line_writer.h"
#include "platform/output_file.h"
#include "platform/stop_signals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <optional>
#include <variant>

namespace tallowick {

// What a command line asks for besides a run.
enum class ProgramRequest { Help, Version };

// Why a command line cannot be run.
struct UsageError
{
    QString text;
};

// A program's command line: its run, --help or --version, or why not.
template <class Options> using CommandLine = std::variant<Options, ProgramRequest, UsageError>;

// Parses the arguments (without the program's name) with the parser's options
// and --help, -h and --version: a request or an error when the command line is
// no run (an unknown option, a missing value, an option given twice that is
// not among the repeatable ones), nothing when the parser holds a run.
std::optional<std::variant<ProgramRequest, UsageError>>
parseCommandLine(QCommandLineParser &parser, const QString &program, const QStringList &args,
                 const QStringList &repeatable = {});

void ignoreBrokenPipes();

// "HOST:PORT" as an option gives it, the host possibly an IPv6 address in
// brackets (taken off); nothing when either is missing or an IPv6 host has no
// brackets.
std::optional<std::pair<QString, QString>> splitHostPort(const QString &text);

// A positive (or, with zeroAllowed, non-negative) decimal number of an
// option, below a limit that keeps every product of it in range.
std::optional<double> optionNumber(const QString &text, bool zeroAllowed, double limit);

// Prints what a command line that is no run asks for, as the platform's
// programs do: the usage or the version on standard output (status 0), or
// the error with a hint on standard error (status refused).
int answerCommandLine(const std::variant<ProgramRequest, UsageError> &notRun,
                      const QString &program, const QString &usage, const QString &version);

// The program's exit status, its own being `status`, with a message it could
// not write on standard error taken in as any output's fault.
int withLostMessage(const QString &program, int status);

// How a program without a window starts: the stop signals held back before
// any thread exists (they are read from a descriptor), SIGPIPE ignored (a
// write to a reader gone fails and says so instead of killing the program
// with its other files half written), the application named, its command
// line read. A command line that is a run goes to `run`, whose
// status is the program's; one that is not is answered here. Either way a
// message lost on standard error is not a success.
template <class Options, class Run>
int commandLineProgram(int argc, char **argv, CommandLine<Options> (*parse)(const QStringList &),
                       const QString &program, const QString &usage, const QString &version,
                       Run run)
{
    StopSignals::block();
    ignoreBrokenPipes();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(program);
    QCoreApplication::setApplicationVersion(version);
    const CommandLine<Options> parsed = parse(QCoreApplication::arguments().mid(1));
    int status;
    if (const auto *options = std::get_if<Options>(&parsed))
        status = run(*options);
    else if (const auto *error = std::get_if<UsageError>(&parsed))
        status = answerCommandLine(*error, program, usage, version);
    else
        status = answerCommandLine(std::get<ProgramRequest>(parsed), program, usage, version);
    return withLostMessage(program, status);
}

// A program that opens what it serves, then runs in the event loop until it
// finishes: a refusal is told on standard error (status refused); SIGINT and
// SIGTERM finish it with the signal's status. `Served` has open() (the
// refusal, if any), start(), finish(int) and the signal finished(int). Within
// commandLineProgram's run, which names the application.
template <class Served> int serveUntilFinished(Served &served)
{
    if (const auto refused = served.open()) {
        writeUtf8(stderr,
                  QCoreApplication::applicationName() + QStringLiteral(": ") + *refused + u'\n');
        return exit_status::refused;
    }
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &served,
                     [&served](int signal) { served.finish(exit_status::onSignal(signal)); });
    QObject::connect(&served, &Served::finished, qApp,
                     [](int status) { QCoreApplication::exit(status); });
    QTimer::singleShot(0, &served, &Served::start);
    return QCoreApplication::exec();
}

} // namespace tallowick
