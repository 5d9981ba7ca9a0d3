// tallowick-monitor's command line as a plain function: what it refuses,
// what it answers itself, and what each option sets. That the program prints
// a refusal and exits with status 2 is tst_bus_monitor's business.
#include "monitor/monitor_options.h"

#include <QTest>

using namespace tallowick;

Q_DECLARE_METATYPE(tallowick::MonitorRequest)

namespace {

// The fields that differ from a bare "/dev/ttyUSB0", in a fixed order.
QStringList changedFields(const MonitorOptions &o)
{
    QStringList fields{QStringLiteral("device=") + o.devicePath};
    if (o.settings.baudRate != 9600 || o.settings.parity != QSerialPort::NoParity)
        fields << QStringLiteral("baud=%1,parity=%2")
                      .arg(o.settings.baudRate)
                      .arg(int(o.settings.parity));
    if (o.gap.count() != 3646)
        fields << QStringLiteral("gap=%1").arg(o.gap.count());
    if (o.timeout.count() != 1'000'000)
        fields << QStringLiteral("timeout=%1").arg(o.timeout.count());
    if (!o.pcapPath.isEmpty())
        fields << QStringLiteral("pcap=") + o.pcapPath;
    if (!o.jsonPath.isEmpty())
        fields << QStringLiteral("json=") + o.jsonPath;
    if (o.frames)
        fields << QStringLiteral("frames=%1").arg(*o.frames);
    if (o.duration)
        fields << QStringLiteral("duration=%1").arg(o.duration->count());
    if (o.quiet)
        fields << QStringLiteral("quiet");
    return fields;
}

} // namespace

class TestMonitorOptions : public QObject
{
    Q_OBJECT

private slots:
    void accepted_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("fields");
        // The options, then the port /dev/ttyUSB0.
        const auto row = [](const char *name, const QStringList &options,
                            const QStringList &fields) {
            QTest::newRow(name) << options + QStringList{"/dev/ttyUSB0"} << fields;
        };
        const char *usb = "device=/dev/ttyUSB0";
        row("bare", {}, {usb});
        QTest::newRow("port number") << QStringList{"3"} << QStringList{"device=/dev/ttyS2"};
        // The gap follows the settings (tst_line_timing has the rates).
        row("settings", {"--serial-settings", "19200,e,8,1"},
            {usb, "baud=19200,parity=2", "gap=2006"});
        row("gap in ms with decimals", {"--gap", "4.0105"}, {usb, "gap=4011"});
        row("timeout", {"--timeout", "250"}, {usb, "timeout=250000"});
        row("timeout zero", {"--timeout", "0"}, {usb, "timeout=0"});
        row("files, count and duration",
            {"--pcap", "a.pcap", "--json", "-", "--frames", "10", "--duration", "2.5"},
            {usb, "pcap=a.pcap", "json=-", "frames=10", "duration=2500"});
        row("quiet", {"--quiet"}, {usb, "quiet"});
    }
    void accepted()
    {
        QFETCH(QStringList, args);
        const ParsedMonitorCommandLine parsed = parseMonitorCommandLine(args);
        const auto *options = std::get_if<MonitorOptions>(&parsed);
        QVERIFY2(options, qPrintable(std::get_if<MonitorUsageError>(&parsed)
                                         ? std::get<MonitorUsageError>(parsed).text
                                         : QStringLiteral("a request")));
        QTEST(changedFields(*options), "fields");
    }

    // The line as the watch begins. t3.5 is three and a half characters of
    // start, data, parity and stop bits, rounded up to the microsecond: 35 bit
    // times at 9600 (3.646 ms), 42 at 19200 (2.188 ms), 38.5 at 4800 (8.021
    // ms); a fixed 1.75 ms above 19200 baud.
    void startLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("line");
        QTest::newRow("defaults") << QStringList{"/dev/ttyUSB0"}
                                  << "listening on /dev/ttyUSB0, 9600,n,8,1, gap 3.646 ms, "
                                     "time-out 1000 ms";
        QTest::newRow("port number, even parity, two stop bits")
            << QStringList{"--serial-settings", "19200,E,8,2", "--timeout", "0.5", "2"}
            << "listening on /dev/ttyS1, 19200,e,8,2, gap 2.188 ms, time-out 0.5 ms";
        QTest::newRow("fast line, odd parity, seven bits, gap given")
            << QStringList{"--serial-settings", "115200,o,7,1", "--gap", "5", "ttyUSB1"}
            << "listening on /dev/ttyUSB1, 115200,o,7,1, gap 5 ms, time-out 1000 ms";
        QTest::newRow("mark, space, a stop bit and a half, fixed gap")
            << QStringList{"--serial-settings", "38400,m,8,1.5", "/dev/ttyS0"}
            << "listening on /dev/ttyS0, 38400,m,8,1.5, gap 1.75 ms, time-out 1000 ms";
        QTest::newRow("space parity") << QStringList{"--serial-settings", "4800,s,8,1", "1"}
                                      << "listening on /dev/ttyS0, 4800,s,8,1, gap 8.021 ms, "
                                         "time-out 1000 ms";
    }
    void startLine()
    {
        QFETCH(QStringList, args);
        const ParsedMonitorCommandLine parsed = parseMonitorCommandLine(args);
        QVERIFY(std::holds_alternative<MonitorOptions>(parsed));
        QFETCH(QString, line);
        QCOMPARE(monitorStartLine(std::get<MonitorOptions>(parsed)),
                 QStringLiteral("tallowick-monitor: ") + line);
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        // The options, then the port /dev/ttyUSB0.
        const auto row = [](const char *name, const QStringList &options, const char *error) {
            QTest::newRow(name) << options + QStringList{"/dev/ttyUSB0"}
                                << QString::fromUtf8(error);
        };
        QTest::newRow("no port") << QStringList{} << "no port given";
        row("two ports", {"/dev/ttyUSB1"}, "more than one port given");
        QTest::newRow("port zero") << QStringList{"0"} << "no such port: 0";
        // tallowick-run refuses the same with the same words.
        row("bad settings", {"--serial-settings", "9600,x,8,1"},
            "--serial-settings takes baud,parity,data,stop such as 9600,n,8,1, not \"9600,x,8,1\"");
        const char *gap = "--gap takes milliseconds above 0, such as 4.01";
        row("gap zero", {"--gap", "0"}, gap);
        row("gap below a microsecond", {"--gap", "0.0004"}, gap);
        row("gap nan", {"--gap", "nan"}, gap);
        row("timeout text", {"--timeout", "soon"}, "--timeout takes milliseconds, such as 1000");
        row("frames zero", {"--frames", "0"}, "--frames takes a whole number above 0");
        row("duration zero", {"--duration", "0"}, "--duration takes seconds above 0");
        row("one file for both", {"--pcap", "x", "--json", "x"},
            "--pcap and --json cannot share one file");
        row("empty file name", {"--json", ""}, "--pcap and --json take a file name or -");
        row("unknown option", {"--send"}, "Unknown option 'send'.");
    }
    void refused()
    {
        QFETCH(QStringList, args);
        const ParsedMonitorCommandLine parsed = parseMonitorCommandLine(args);
        const auto *error = std::get_if<MonitorUsageError>(&parsed);
        QVERIFY(error);
        QTEST(error->text, "error");
    }

    void requests_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<MonitorRequest>("request");
        QTest::newRow("help beside errors")
            << QStringList{"--frames", "0", "-h"} << MonitorRequest::Help;
        QTest::newRow("version") << QStringList{"--version", "a", "b"} << MonitorRequest::Version;
    }
    void requests()
    {
        QFETCH(QStringList, args);
        const ParsedMonitorCommandLine parsed = parseMonitorCommandLine(args);
        QVERIFY(std::holds_alternative<MonitorRequest>(parsed));
        QTEST(std::get<MonitorRequest>(parsed), "request");
    }
};

QTEST_GUILESS_MAIN(TestMonitorOptions)
#include "tst_monitor_options.moc"
