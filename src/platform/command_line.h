#pragma once

#include "platform/line_writer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>
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

// Prints what a command line that is no run asks for, as the platform's
// programs do: the usage or the version on standard output (status 0), or
// the error with a hint on standard error (status `refused`).
int answerCommandLine(const std::variant<ProgramRequest, UsageError> &notRun,
                      const QString &program, const QString &usage, const QString &version,
                      int refused);

// Names the application, reads its command line with `parse` and returns the
// run's options, or nothing once a command line that is no run has been
// answered, its exit status in `answered`.
template <class Options>
std::optional<Options> runOrAnswer(CommandLine<Options> (*parse)(const QStringList &),
                                   const QString &program, const QString &usage,
                                   const QString &version, int refused, int *answered)
{
    QCoreApplication::setApplicationName(program);
    QCoreApplication::setApplicationVersion(version);
    const CommandLine<Options> parsed = parse(QCoreApplication::arguments().mid(1));
    if (const auto *options = std::get_if<Options>(&parsed))
        return *options;
    if (const auto *error = std::get_if<UsageError>(&parsed))
        *answered = answerCommandLine(*error, program, usage, version, refused);
    else
        *answered =
            answerCommandLine(std::get<ProgramRequest>(parsed), program, usage, version, refused);
    return std::nullopt;
}

} // namespace tallowick
