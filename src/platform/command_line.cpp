#include "platform/command_line.h"

#include <cmath>

#include <csignal>

namespace tallowick {

std::optional<std::variant<ProgramRequest, UsageError>>
parseCommandLine(QCommandLineParser &parser, const QString &program, const QStringList &args,
                 const QStringList &repeatable)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({help, version});
    if (!parser.parse(QStringList{program} + args))
        return UsageError{parser.errorText()};
    if (parser.isSet(help))
        return ProgramRequest::Help;
    if (parser.isSet(version))
        return ProgramRequest::Version;
    // An option given twice would leave the reader guessing which one counts.
    const QStringList given = parser.optionNames();
    for (const QString &name : given) {
        if (!repeatable.contains(name) && given.count(name) > 1)
            return UsageError{QStringLiteral("--%1 given more than once").arg(name)};
    }
    return std::nullopt;
}

std::optional<double> optionNumber(const QString &text, bool zeroAllowed, double limit)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value > limit || value < 0 || (!zeroAllowed && value == 0))
        return std::nullopt;
    return value;
}

std::optional<std::pair<QString, QString>> splitHostPort(const QString &text)
{
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0 || colon == text.size() - 1)
        return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(u':'))
        return std::nullopt; // an IPv6 address needs its brackets
    if (host.isEmpty())
        return std::nullopt;
    return std::pair{host, text.mid(colon + 1)};
}

void ignoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

int answerCommandLine(const std::variant<ProgramRequest, UsageError> &notRun,
                      const QString &program, const QString &usage, const QString &version)
{
    if (const auto *error = std::get_if<UsageError>(&notRun)) {
        writeUtf8(stderr, program + QStringLiteral(": ") + error->text +
                              QStringLiteral("\nTry '%1 --help'.\n").arg(program));
        return exit_status::refused;
    }
    const auto out = OutputFile::standardOutput();
    out->writeText(std::get<ProgramRequest>(notRun) == ProgramRequest::Help
                       ? usage
                       : program + u' ' + version + u'\n');
    if (out->close() || out->fault()->readerGone)
        return exit_status::done;
    OutputFaults faults(program);
    faults.note(*out->fault());
    return faults.status();
}

int withLostMessage(const QString &program, int status)
{
    const auto lost = lostMessage();
    if (!lost)
        return status;
    OutputFaults faults(program);
    faults.note(*lost);
    return faults.exitStatus(status);
}

} // namespace tallowick
