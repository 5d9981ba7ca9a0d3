#include "run/run_options.h"

#include "config/slot_folder.h"
#include "engine/command_text.h"
#include "links/serial_settings.h"

#include <QCommandLineParser>
#include <QDir>

#include <algorithm>

namespace tallowick {

namespace {

// A whole number from minimum to maximum, written in decimal digits.
std::optional<qint64> wholeIn(const QString &text, qint64 minimum, qint64 maximum)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() ||
        !std::all_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    bool ok = false;
    const qint64 value = trimmed.toLongLong(&ok);
    if (!ok || value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

// Every refusal of a value names the option, what it takes and what it got.
UsageError takes(const QString &option, const QString &what, const QString &value)
{
    return UsageError{QStringLiteral("--%1 takes %2, not \"%3\"").arg(option, what, value)};
}

UsageError takesRange(const QString &option, qint64 minimum, qint64 maximum, const QString &value)
{
    return takes(option, QStringLiteral("%1 to %2").arg(minimum).arg(maximum), value);
}

constexpr qint64 maxPasses = 32767;            // the pass counter's 16 bits
constexpr qint64 maxMilliseconds = 2147483647; // what a timer holds

// The options whose value is one whole number, and the configuration value
// each stands for.
struct NumberOption
{
    const char *name;
    ConfigValue value;
    qint64 minimum;
    qint64 maximum;
};
constexpr NumberOption numberOptions[] = {
    {"send", LineNumberValue, 1, commandLineCount},
    {"passes", PassesValue, 1, maxPasses},
    {"pause", PauseValue, 1, maxMilliseconds},
    {"timeout", TimeoutValue, 1, maxMilliseconds},
};

} // namespace

QString runUsage()
{
    const QString usage = QStringLiteral(
        "Usage: tallowick-run [options] SLOT.ini\n"
        "       tallowick-run [options] --line N=HEX... [SLOT.ini]\n"
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
        "  --line N=HEX           command line N (1 to 15) for this run (repeatable); with\n"
        "                         --line the file is optional, and a value neither gives\n"
        "                         is the window's default\n"
        "  --keep-going           a failed link does not end a repeat run: the next\n"
        "                         exchange connects again (a kept link too)\n"
        "  --expect N=PATTERN     the reply of line N must match PATTERN (repeatable): its\n"
        "                         bytes in hexadecimal without the CRC, \"..\" for any one\n"
        "                         byte; \"exception\" for any exception reply,\n"
        "                         \"exception:CC\" for code CC\n"
        "  --summary              after the run, a table per line and in total: the count\n"
        "                         of each result, response times min/median/p99/max in ms\n"
        "  --json FILE            one JSON object per exchange (JSON Lines), then one\n"
        "                         summary object; \"-\" writes them to standard output,\n"
        "                         and the log and the table go to standard error\n"
        "  --junit FILE           a JUnit XML report: one test case per command line run\n"
        "  --mbap                 Modbus TCP: each line is sent behind an MBAP header and\n"
        "                         without a CRC, its first byte the unit id; the reply's\n"
        "                         transaction id, protocol and unit are checked\n"
        "  --help, --version\n"
        "\n"
        "Every log entry goes to standard output, oldest first; a message the window\n"
        "would show in a box goes to standard error, and so does one line for each\n"
        "exchange that failed: its line, its result and why.\n"
        "A SLOT.ini given without a folder and not found in the current folder is\n"
        "looked up in the slot folder, %1.\n"
        "Each exchange ends as one of: ok, wrong-crc, too-short, exception, unexpected,\n"
        "no-reply, link-failed, interrupted; with --mbap bad-header too.\n"
        "Exit status: 0 every exchange ended ok; 1 one did not (no reply, a wrong CRC,\n"
        "an exception or unexpected reply, a failed link: a serial port that cannot be\n"
        "opened, a TCP peer that refuses or does not answer), or nothing was sent; 2 the\n"
        "run was refused (an option, the file, an output file that cannot be made); 3\n"
        "an output could not be written (a full disk, an I/O error: the message names\n"
        "it), the run ended there with the other outputs complete; 130 or 143 it was\n"
        "ended by SIGINT or SIGTERM; 141 the reader of standard output went away.\n");
    return usage.arg(QDir::toNativeSeparators(slotFolder()));
}

ParsedCommandLine parseRunCommandLine(const QStringList &args)
{
    QCommandLineParser parser;
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
    const QCommandLineOption line(QStringLiteral("line"), {}, QStringLiteral("N=HEX"));
    const QCommandLineOption keepGoing(QStringLiteral("keep-going"));
    const QCommandLineOption summary(QStringLiteral("summary"));
    const QCommandLineOption mbap(QStringLiteral("mbap"));
    const QCommandLineOption json(QStringLiteral("json"), {}, QStringLiteral("FILE"));
    const QCommandLineOption junit(QStringLiteral("junit"), {}, QStringLiteral("FILE"));
    const QCommandLineOption expect(QStringLiteral("expect"), {}, QStringLiteral("N=PATTERN"));
    parser.addOptions({send, lines, passes, pause, timeout, tcp, serial, serialSettings, noCrc,
                       keepLink, line, keepGoing, summary, json, junit, expect, mbap});
    if (auto notRun = parseCommandLine(parser, QStringLiteral("tallowick-run"), args,
                                       {line.names().first(), expect.names().first()}))
        return std::visit([](auto &&answer) -> ParsedCommandLine { return answer; }, *notRun);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1 || (files.isEmpty() && !parser.isSet(line)))
        return UsageError{files.isEmpty()
                              ? QStringLiteral("no configuration file given")
                              : QStringLiteral("more than one configuration file given")};
    if (parser.isSet(tcp) && parser.isSet(serial))
        return UsageError{QStringLiteral("--tcp and --serial exclude each other")};
    if (parser.isSet(send) && (parser.isSet(lines) || parser.isSet(passes) || parser.isSet(pause)))
        return UsageError{
            QStringLiteral("--send runs one exchange: no --lines, --passes or --pause")};

    RunOptions options;
    options.slotFile = files.value(0);
    const auto valueOf = [&parser](const QCommandLineOption &option) -> std::optional<QString> {
        if (!parser.isSet(option))
            return std::nullopt;
        return parser.value(option);
    };
    for (const NumberOption &number : numberOptions) {
        const QString name = QLatin1String(number.name);
        if (!parser.isSet(name))
            continue;
        const QString text = parser.value(name);
        if (!wholeIn(text, number.minimum, number.maximum))
            return takesRange(name, number.minimum, number.maximum, text);
        options.values[number.value] = text.trimmed();
    }
    options.serialPort = valueOf(serial);
    if (options.serialPort && !serialDevicePath(*options.serialPort))
        return takes(serial.names().first(),
                     QStringLiteral("a port number from 1, a device path or a device name"),
                     *options.serialPort);
    if (parser.isSet(serialSettings)) {
        options.serialSettings = parser.value(serialSettings);
        const auto settings = programLineSettings(options.serialSettings);
        if (const auto *refused = std::get_if<SettingsRefusal>(&settings))
            return UsageError{QStringLiteral("--serial-settings ") + refused->what};
    }
    options.appendCrc = !parser.isSet(noCrc);
    options.keepLink = parser.isSet(keepLink);
    options.keepGoing = parser.isSet(keepGoing);
    if (const auto range = valueOf(lines)) {
        const QStringList ends = range->split(u'-');
        if (ends.size() != 2 || ends[0].trimmed().isEmpty() || ends[1].trimmed().isEmpty())
            return UsageError{QStringLiteral("--lines takes A-B, such as 1-15")};
        const auto first = wholeIn(ends[0], 1, commandLineCount);
        const auto last = wholeIn(ends[1], 1, commandLineCount);
        if (!first || !last || *first > *last)
            return takes(lines.names().first(),
                         QStringLiteral("lines 1 to 15, the first not after the last"), *range);
        options.values[FirstLineValue] = ends[0].trimmed();
        options.values[LastLineValue] = ends[1].trimmed();
    }
    if (const auto target = valueOf(tcp)) {
        const auto hostPort = splitHostPort(*target);
        if (!hostPort)
            return UsageError{QStringLiteral("--tcp takes HOST:PORT, such as 127.0.0.1:502")};
        if (!wholeIn(hostPort->second, 1, 65535))
            return takes(tcp.names().first(), QStringLiteral("a port from 1 to 65535"),
                         hostPort->second);
        options.values[AddressValue] = hostPort->first;
        options.values[PortValue] = hostPort->second.trimmed();
    }
    options.summary = parser.isSet(summary);
    options.mbap = parser.isSet(mbap);
    if (options.mbap && options.serialPort)
        return UsageError{QStringLiteral("--mbap is Modbus TCP: not with --serial")};
    options.jsonPath = valueOf(json);
    options.junitPath = valueOf(junit);
    for (const auto &[option, path] :
         {std::pair{json, options.jsonPath}, {junit, options.junitPath}}) {
        if (path && path->isEmpty())
            return takes(option.names().first(), QStringLiteral("a file name"), *path);
    }
    for (const QString &given : parser.values(expect)) {
        const qsizetype equals = given.indexOf(u'=');
        const auto number = wholeIn(given.left(equals), 1, commandLineCount);
        if (equals < 0 || !number)
            return takes(expect.names().first(), QStringLiteral("N=PATTERN, N from 1 to 15"),
                         given);
        const ParsedReplyPattern pattern = parseReplyPattern(QStringView(given).mid(equals + 1));
        if (const auto *error = std::get_if<ReplyPatternError>(&pattern))
            return UsageError{QStringLiteral("--expect %1: ").arg(*number) + error->text};
        if (!options.expect.emplace(int(*number), std::get<ReplyPattern>(pattern)).second)
            return UsageError{QStringLiteral("--expect %1 given more than once").arg(*number)};
    }
    for (const QString &given : parser.values(line)) {
        const QString form = QStringLiteral("N=HEX, N from 1 to 15, HEX the line's bytes");
        const qsizetype equals = given.indexOf(u'=');
        const auto number = wholeIn(given.left(equals), 1, commandLineCount);
        const QString hex = given.mid(equals + 1).trimmed();
        if (equals < 0 || !number || hex.isEmpty() || !textToFrame(hex))
            return takes(line.names().first(), form, given);
        const ConfigValue which = commandValue(int(*number) - 1);
        if (options.values.count(which))
            return UsageError{QStringLiteral("--line %1 given more than once").arg(*number)};
        options.values[which] = hex;
    }
    return options;
}

} // namespace tallowick
