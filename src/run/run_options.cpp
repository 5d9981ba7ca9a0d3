#include "run/run_options.h"

#include <QCommandLineParser>

namespace tallowick {

namespace {

// "HOST:PORT", the host possibly an IPv6 address in brackets.
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

} // namespace

QString runUsage()
{
    return QStringLiteral(
        "Usage: tallowick-run [options] SLOT.ini\n"
        "Runs the command lines of a Tallowick configuration file without a window: one\n"
        "exchange (--send), or a repeat run of the file's repeat settings.\n"
        "\n"
        "  --send N               one exchange of command line N; without it, a repeat run\n"
        "  --lines A-B            the repeat range (default: the file's REPEAT_START and\n"
        "                         REPEAT_STOP)\n"
        "  --passes N             the number of passes (default: the file's REPEAT_CNT)\n"
        "  --pause MS             the pause between passes (default: the file's REPEAT)\n"
        "  --timeout MS           the reply time-out (default: the file's TIMEOUT)\n"
        "  --tcp HOST:PORT        RTU over TCP (the default, to the file's IP and PORT)\n"
        "  --serial PORT          RTU on a serial port: a number (n is /dev/ttyS(n-1)), a\n"
        "                         device path or a device name\n"
        "  --serial-settings TEXT the line settings, baud,parity,data,stop (default\n"
        "                         9600,n,8,1)\n"
        "  --no-crc               send the lines as typed, without appending the CRC\n"
        "  --keep-link            keep the link open between exchanges (default: drop it\n"
        "                         after each)\n"
        "  --help, --version\n"
        "\n"
        "Every log entry goes to standard output, oldest first; a message the window\n"
        "would show in a box goes to standard error.\n"
        "Exit status: 0 every exchange had a reply with a correct CRC; 1 one had no\n"
        "reply, a wrong CRC or a failed link; 2 the run was refused; 130 or 143 it was\n"
        "ended by SIGINT or SIGTERM.\n");
}

ParsedCommandLine parseRunCommandLine(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption send(QStringLiteral("send"), {}, QStringLiteral("N"));
    const QCommandLineOption lines(QStringLiteral("lines"), {}, QStringLiteral("A-B"));
    const QCommandLineOption passes(QStringLiteral("passes"), {}, QStringLiteral("N"));
    const QCommandLineOption pause(QStringLiteral("pause"), {}, QStringLiteral("MS"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), {}, QStringLiteral("MS"));
    const QCommandLineOption tcp(QStringLiteral("tcp"), {}, QStringLiteral("HOST:PORT"));
    const QCommandLineOption serial(QStringLiteral("serial"), {}, QStringLiteral("PORT"));
    const QCommandLineOption serialSettings(QStringLiteral("serial-settings"), {},
                                            QStringLiteral("TEXT"));
    const QCommandLineOption noCrc(QStringLiteral("no-crc"));
    const QCommandLineOption keepLink(QStringLiteral("keep-link"));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({send, lines, passes, pause, timeout, tcp, serial, serialSettings, noCrc,
                       keepLink, help, version});

    if (!parser.parse(QStringList{QStringLiteral("tallowick-run")} + args))
        return UsageError{parser.errorText()};
    if (parser.isSet(help))
        return RunRequest::Help;
    if (parser.isSet(version))
        return RunRequest::Version;

    // An option given twice would leave the reader guessing which one counts.
    const QStringList given = parser.optionNames();
    for (const QString &name : given) {
        if (given.count(name) > 1)
            return UsageError{QStringLiteral("--%1 given more than once").arg(name)};
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1)
        return UsageError{files.isEmpty()
                              ? QStringLiteral("no configuration file given")
                              : QStringLiteral("more than one configuration file given")};
    if (parser.isSet(tcp) && parser.isSet(serial))
        return UsageError{QStringLiteral("--tcp and --serial exclude each other")};
    if (parser.isSet(send) && (parser.isSet(lines) || parser.isSet(passes) || parser.isSet(pause)))
        return UsageError{
            QStringLiteral("--send runs one exchange: no --lines, --passes or --pause")};

    RunOptions options;
    options.slotFile = files.first();
    const auto valueOf = [&parser](const QCommandLineOption &option) -> std::optional<QString> {
        if (!parser.isSet(option))
            return std::nullopt;
        return parser.value(option);
    };
    // The options that stand for one configuration value each.
    const std::pair<const QCommandLineOption &, ConfigValue> valueOptions[] = {
        {send, LineNumberValue},
        {passes, PassesValue},
        {pause, PauseValue},
        {timeout, TimeoutValue}};
    for (const auto &[option, value] : valueOptions) {
        if (parser.isSet(option))
            options.values[value] = parser.value(option);
    }
    options.serialPort = valueOf(serial);
    if (parser.isSet(serialSettings))
        options.serialSettings = parser.value(serialSettings);
    options.appendCrc = !parser.isSet(noCrc);
    options.keepLink = parser.isSet(keepLink);
    if (const auto range = valueOf(lines)) {
        const QStringList ends = range->split(u'-');
        if (ends.size() != 2 || ends[0].trimmed().isEmpty() || ends[1].trimmed().isEmpty())
            return UsageError{QStringLiteral("--lines takes A-B, such as 1-15")};
        options.values[FirstLineValue] = ends[0].trimmed();
        options.values[LastLineValue] = ends[1].trimmed();
    }
    if (const auto target = valueOf(tcp)) {
        const auto hostPort = splitHostPort(*target);
        if (!hostPort)
            return UsageError{QStringLiteral("--tcp takes HOST:PORT, such as 127.0.0.1:502")};
        options.values[AddressValue] = hostPort->first;
        options.values[PortValue] = hostPort->second;
    }
    return options;
}

} // namespace tallowick
