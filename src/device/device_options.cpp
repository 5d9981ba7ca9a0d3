#include "device/device_options.h"

#include "device/text_forms.h"

#include <QCommandLineParser>

#include <cmath>

namespace tallowick {

namespace {

std::optional<ListenAddress> listenAddress(const QString &text)
{
    ListenAddress address;
    QString port = text;
    if (text.contains(u':')) {
        const auto hostPort = splitHostPort(text);
        if (!hostPort)
            return std::nullopt;
        std::tie(address.host, port) = *hostPort;
        // Brackets are an IPv6 address's alone.
        if (text.startsWith(u'[') != address.host.contains(u':'))
            return std::nullopt;
    }
    const auto number = decimalNumber(port, 65535);
    if (!number)
        return std::nullopt;
    address.port = quint16(*number);
    return address;
}

} // namespace

QString listenText(const QString &host, quint16 port)
{
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

QString deviceUsage()
{
    return QStringLiteral(
        "Usage: tallowick-device [options] MAP.csv\n"
        "Answers as a Modbus slave from a register map, on a serial line (RTU), RTU over\n"
        "TCP or Modbus TCP, and misbehaves on purpose by rule.\n"
        "\n"
        "  MAP.csv                the device's data: CSV with the columns table, address,\n"
        "                         type, value and optionally order, access, name; \"-\" for\n"
        "                         no map (every read and write answered with exception 02)\n"
        "  --serial PORT          answer as an RTU slave on a serial port (a number, n is\n"
        "                         /dev/ttyS(n-1), a device path or a device name)\n"
        "  --serial-settings TEXT the line settings, baud,parity,data,stop (default\n"
        "                         9600,n,8,1)\n"
        "  --tcp [HOST:]PORT      answer RTU frames over TCP (default host 127.0.0.1; port 0:\n"
        "                         one the system chooses, named as the device starts)\n"
        "  --mbap [HOST:]PORT     answer Modbus TCP (the same)\n"
        "  --unit LIST            the unit ids it is, such as 1,5-7 (default 1); a request\n"
        "                         to another is ignored; a broadcast (0) write on a line or\n"
        "                         RTU over TCP is applied and never answered; on Modbus TCP\n"
        "                         units 0 and 255 are the device itself\n"
        "  --delay MS             wait before each reply (default 0)\n"
        "  --fault RULE           misbehave on purpose: ACTION[@CONDITIONS] (repeatable),\n"
        "                         such as crc@every=10, exception=04@fc=03,addr=100-109,\n"
        "                         delay=250@p=0.1 (see the manual page)\n"
        "  --seed N               the seed of rules with a probability\n"
        "  --replay FILE          answer as the device recorded in tallowick-monitor's\n"
        "                         JSON Lines\n"
        "  --json FILE            one JSON object per request, then a summary; \"-\" is\n"
        "                         standard output, instead of the text\n"
        "  --save FILE            on exit, write the map with the values masters wrote\n"
        "  --requests N           end after N requests\n"
        "  --duration S           end after S seconds\n"
        "  --help, --version\n"
        "\n"
        "At least one of --serial, --tcp and --mbap; several serve one map. Once every link\n"
        "is open, one line on standard error names them. A line of text per request and a\n"
        "summary go to standard output.\n"
        "Exit status: 0 --requests or --duration reached; 1 the serial port went away; 2 a\n"
        "bad option, map or rule, a port busy or absent, an output that cannot be\n"
        "created; 3 an output could not be written (the message names it; the others are\n"
        "complete); 130 or 143 SIGINT or SIGTERM; 141 the reader of standard output went\n"
        "away.\n");
}

CommandLine<DeviceOptions> parseDeviceCommandLine(const QStringList &args)
{
    QCommandLineParser parser;
    const QCommandLineOption serial(QStringLiteral("serial"), {}, QStringLiteral("PORT"));
    const QCommandLineOption serialSettings(QStringLiteral("serial-settings"), {},
                                            QStringLiteral("TEXT"));
    const QCommandLineOption tcp(QStringLiteral("tcp"), {}, QStringLiteral("ADDRESS"));
    const QCommandLineOption mbap(QStringLiteral("mbap"), {}, QStringLiteral("ADDRESS"));
    const QCommandLineOption unit(QStringLiteral("unit"), {}, QStringLiteral("LIST"));
    const QCommandLineOption delay(QStringLiteral("delay"), {}, QStringLiteral("MS"));
    const QCommandLineOption fault(QStringLiteral("fault"), {}, QStringLiteral("RULE"));
    const QCommandLineOption seed(QStringLiteral("seed"), {}, QStringLiteral("N"));
    const QCommandLineOption replay(QStringLiteral("replay"), {}, QStringLiteral("FILE"));
    const QCommandLineOption json(QStringLiteral("json"), {}, QStringLiteral("FILE"));
    const QCommandLineOption save(QStringLiteral("save"), {}, QStringLiteral("FILE"));
    const QCommandLineOption requests(QStringLiteral("requests"), {}, QStringLiteral("N"));
    const QCommandLineOption duration(QStringLiteral("duration"), {}, QStringLiteral("S"));
    parser.addOptions({serial, serialSettings, tcp, mbap, unit, delay, fault, seed, replay, json,
                       save, requests, duration});
    if (auto notRun = parseCommandLine(parser, QStringLiteral("tallowick-device"), args,
                                       {QStringLiteral("fault")}))
        return std::visit([](auto &&answer) -> CommandLine<DeviceOptions> { return answer; },
                          *notRun);
    const QStringList maps = parser.positionalArguments();
    if (maps.size() != 1)
        return UsageError{maps.isEmpty() ? QStringLiteral("no map given (\"-\" for none)")
                                         : QStringLiteral("more than one map given")};
    DeviceOptions options;
    options.mapPath = maps.first();
    if (!parser.isSet(serial) && !parser.isSet(tcp) && !parser.isSet(mbap))
        return UsageError{QStringLiteral("nowhere to answer: give --serial, --tcp or --mbap")};
    if (parser.isSet(serial)) {
        options.serialPort = parser.value(serial);
        const auto device = serialDevicePath(options.serialPort);
        if (!device)
            return UsageError{QStringLiteral("--serial: no such port: ") + options.serialPort};
        options.serialPath = *device;
    }
    if (parser.isSet(serialSettings)) {
        const auto settings = programLineSettings(parser.value(serialSettings));
        if (const auto *refused = std::get_if<SettingsRefusal>(&settings))
            return UsageError{QStringLiteral("--serial-settings ") + refused->what};
        options.settings = std::get<LineSettings>(settings);
    }
    for (const auto &[option, address] :
         {std::pair{&tcp, &options.tcp}, std::pair{&mbap, &options.mbap}}) {
        if (!parser.isSet(*option))
            continue;
        *address = listenAddress(parser.value(*option));
        if (!*address)
            return UsageError{QStringLiteral("--%1 takes [HOST:]PORT, such as 5020, "
                                             "127.0.0.1:5020 or [::1]:5020, not \"%2\"")
                                  .arg(option->names().first(), parser.value(*option))};
    }
    if (options.tcp && options.mbap && options.tcp->port != 0 &&
        options.tcp->port == options.mbap->port && options.tcp->host == options.mbap->host)
        return UsageError{QStringLiteral("--tcp and --mbap cannot share one port")};
    if (parser.isSet(unit)) {
        auto units = parseUnitList(parser.value(unit));
        if (const auto *refused = std::get_if<QString>(&units))
            return UsageError{QStringLiteral("--unit ") + *refused};
        options.units = std::get<UnitList>(std::move(units));
    }
    // A day in milliseconds bounds the waits: their microseconds stay in range.
    constexpr double dayMs = 86'400'000;
    if (parser.isSet(delay)) {
        const auto ms = optionNumber(parser.value(delay), true, dayMs);
        if (!ms)
            return UsageError{QStringLiteral("--delay takes milliseconds, such as 20")};
        options.delay = std::chrono::milliseconds(std::llround(*ms));
    }
    for (const QString &text : parser.values(fault)) {
        auto rule = parseFaultRule(text);
        if (const auto *refused = std::get_if<QString>(&rule))
            return UsageError{QStringLiteral("--fault ") + *refused};
        options.faults.push_back(std::get<FaultRule>(std::move(rule)));
    }
    if (parser.isSet(seed)) {
        const auto n = decimalNumber(parser.value(seed));
        if (!n)
            return UsageError{QStringLiteral("--seed takes a whole number, such as 1")};
        options.seed = *n;
    }
    for (const auto &[option, n] : {std::pair{&requests, &options.requests}}) {
        if (!parser.isSet(*option))
            continue;
        *n = decimalNumber(parser.value(*option));
        if (!*n || **n == 0)
            return UsageError{QStringLiteral("--requests takes a whole number above 0")};
    }
    if (parser.isSet(duration)) {
        const auto seconds = optionNumber(parser.value(duration), false, 86'400.0 * 365);
        if (!seconds || std::llround(*seconds * 1000) < 1)
            return UsageError{QStringLiteral("--duration takes seconds above 0")};
        options.duration = std::chrono::milliseconds(std::llround(*seconds * 1000));
    }
    options.replayPath = parser.value(replay);
    options.jsonPath = parser.value(json);
    options.savePath = parser.value(save);
    for (const auto *option : {&replay, &json, &save}) {
        if (parser.isSet(*option) && parser.value(*option).isEmpty())
            return UsageError{
                QStringLiteral("--%1 takes a file name").arg(option->names().first())};
    }
    if (options.savePath == u"-")
        return UsageError{QStringLiteral("--save takes a file name, not standard output")};
    return options;
}

} // namespace tallowick
