#include "monitor/monitor_options.h"

#include "links/line_timing.h"

#include <QCommandLineParser>

#include <cmath>

namespace tallowick {

namespace {

// Milliseconds to the microsecond, without trailing zeros: "3.646", "1.75", "1000".
QString milliseconds(std::chrono::microseconds us)
{
    QString text = QString::number(double(us.count()) / 1000, 'f', 3);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

} // namespace

QString monitorStartLine(const MonitorOptions &options)
{
    return QStringLiteral("tallowick-monitor: listening on %1, %2, gap %3 ms, time-out %4 ms")
        .arg(options.devicePath, lineSettingsText(options.settings), milliseconds(options.gap),
             milliseconds(options.timeout));
}

QString monitorUsage()
{
    return QStringLiteral(
        "Usage: tallowick-monitor [options] PORT\n"
        "Shows every frame on a Modbus RTU serial line without sending anything: its time,\n"
        "the silence before it, request or reply, its bytes, its CRC verdict and, for a\n"
        "reply, its request and response time.\n"
        "\n"
        "  PORT                   a number (n is /dev/ttyS(n-1)), a device path or a device\n"
        "                         name\n"
        "  --serial-settings TEXT the line settings, baud,parity,data,stop (default\n"
        "                         9600,n,8,1)\n"
        "  --gap MS               t3.5: a frame ends this and one character after the\n"
        "                         last bytes (default t3.5 of the settings; 1.75 ms\n"
        "                         above 19200 baud)\n"
        "  --timeout MS           how long a request waits for its reply (default 1000)\n"
        "  --pcap FILE            also write a pcap capture, link type 147 (user 0); \"-\" is\n"
        "                         standard output, and the text goes to standard error\n"
        "  --json FILE            also write one JSON object per frame; \"-\" is standard\n"
        "                         output, and the text goes to standard error\n"
        "  --frames N             end after N frames\n"
        "  --duration S           end after S seconds\n"
        "  --quiet                no line of text a frame: the summary alone (--pcap and\n"
        "                         --json are written as ever)\n"
        "  --help, --version\n"
        "\n"
        "As it starts listening, one line on standard error names the port, the\n"
        "settings, the gap and the time-out. A summary follows the frames when the\n"
        "monitor ends.\n"
        "Exit status: 0 --frames or --duration reached; 1 the port went away; 2 a bad\n"
        "option or a port that cannot be opened; 3 an output could not be written (the\n"
        "message names it; the others are complete); 130 or 143 SIGINT or SIGTERM; 141\n"
        "the reader of standard output went away.\n");
}

ParsedMonitorCommandLine parseMonitorCommandLine(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption serialSettings(QStringLiteral("serial-settings"), {},
                                            QStringLiteral("TEXT"));
    const QCommandLineOption gap(QStringLiteral("gap"), {}, QStringLiteral("MS"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), {}, QStringLiteral("MS"));
    const QCommandLineOption pcap(QStringLiteral("pcap"), {}, QStringLiteral("FILE"));
    const QCommandLineOption json(QStringLiteral("json"), {}, QStringLiteral("FILE"));
    const QCommandLineOption frames(QStringLiteral("frames"), {}, QStringLiteral("N"));
    const QCommandLineOption duration(QStringLiteral("duration"), {}, QStringLiteral("S"));
    const QCommandLineOption quiet(QStringLiteral("quiet"));
    parser.addOptions({serialSettings, gap, timeout, pcap, json, frames, duration, quiet});
    if (auto notRun = parseCommandLine(parser, QStringLiteral("tallowick-monitor"), args))
        return std::visit([](auto &&answer) -> ParsedMonitorCommandLine { return answer; },
                          *notRun);
    const QStringList ports = parser.positionalArguments();
    if (ports.size() != 1)
        return MonitorUsageError{ports.isEmpty() ? QStringLiteral("no port given")
                                                 : QStringLiteral("more than one port given")};

    MonitorOptions options;
    options.port = ports.first();
    const auto device = serialDevicePath(options.port);
    if (!device)
        return MonitorUsageError{QStringLiteral("no such port: ") + options.port};
    options.devicePath = *device;
    if (parser.isSet(serialSettings)) {
        const auto settings = programLineSettings(parser.value(serialSettings));
        if (const auto *refused = std::get_if<SettingsRefusal>(&settings))
            return MonitorUsageError{QStringLiteral("--serial-settings ") + refused->what};
        options.settings = std::get<LineSettings>(settings);
    }
    // A day in milliseconds bounds the waits: their microseconds stay in range.
    constexpr double dayMs = 86'400'000;
    options.gap = lineTiming(options.settings).t35;
    if (parser.isSet(gap)) {
        const auto ms = optionNumber(parser.value(gap), false, dayMs);
        if (!ms || std::llround(*ms * 1000) < 1)
            return MonitorUsageError{
                QStringLiteral("--gap takes milliseconds above 0, such as 4.01")};
        options.gap = std::chrono::microseconds(std::llround(*ms * 1000));
    }
    if (parser.isSet(timeout)) {
        const auto ms = optionNumber(parser.value(timeout), true, dayMs);
        if (!ms)
            return MonitorUsageError{QStringLiteral("--timeout takes milliseconds, such as 1000")};
        options.timeout = std::chrono::microseconds(std::llround(*ms * 1000));
    }
    if (parser.isSet(frames)) {
        bool ok = false;
        const qulonglong n = parser.value(frames).toULongLong(&ok);
        if (!ok || n == 0)
            return MonitorUsageError{QStringLiteral("--frames takes a whole number above 0")};
        options.frames = n;
    }
    if (parser.isSet(duration)) {
        const auto seconds = optionNumber(parser.value(duration), false, 86'400.0 * 365);
        if (!seconds || std::llround(*seconds * 1000) < 1)
            return MonitorUsageError{QStringLiteral("--duration takes seconds above 0")};
        options.duration = std::chrono::milliseconds(std::llround(*seconds * 1000));
    }
    options.quiet = parser.isSet(quiet);
    options.pcapPath = parser.value(pcap);
    options.jsonPath = parser.value(json);
    if ((parser.isSet(pcap) && options.pcapPath.isEmpty()) ||
        (parser.isSet(json) && options.jsonPath.isEmpty()))
        return MonitorUsageError{QStringLiteral("--pcap and --json take a file name or -")};
    if (!options.pcapPath.isEmpty() && options.pcapPath == options.jsonPath)
        return MonitorUsageError{QStringLiteral("--pcap and --json cannot share one file")};
    return options;
}

} // namespace tallowick
