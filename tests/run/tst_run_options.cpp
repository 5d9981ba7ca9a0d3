// tallowick-run's command line as a plain function: what it refuses and with
// which words, what it answers itself (--help, --version), and what every
// option sets. The refusal texts are those the program prints after
// "tallowick-run: "; the unknown-option and missing-value ones are
// QCommandLineParser's. That the program prints them on standard error and
// exits with status 2 is tst_headless_run's business.
#include "run/run_options.h"

#include <QTest>

using namespace tallowick;

Q_DECLARE_METATYPE(tallowick::RunRequest)

namespace {

// What a row expects: the fields that differ from a bare "FILE" command line,
// "name=value" in a fixed order. An option that set another's field, or none,
// shows here.
QStringList changedFields(const RunOptions &options)
{
    QStringList fields{QStringLiteral("file=") + options.slotFile};
    const std::pair<const char *, ConfigValue> named[] = {
        {"send", LineNumberValue}, {"first", FirstLineValue}, {"last", LastLineValue},
        {"passes", PassesValue},   {"pause", PauseValue},     {"timeout", TimeoutValue},
        {"address", AddressValue}, {"port", PortValue}};
    auto values = options.values;
    for (const auto &[name, which] : named) {
        if (const auto found = values.find(which); found != values.end()) {
            fields << QLatin1String(name) + u'=' + found->second;
            values.erase(found);
        }
    }
    for (int line = 0; line < commandLineCount; ++line) {
        if (const auto found = values.find(commandValue(line)); found != values.end()) {
            fields << QStringLiteral("line%1=").arg(line + 1) + found->second;
            values.erase(found);
        }
    }
    // A value no option stands for.
    for (const auto &[which, value] : values)
        fields << QStringLiteral("value%1=").arg(int(which)) + value;
    if (options.serialPort)
        fields << QStringLiteral("serial=") + *options.serialPort;
    if (options.serialSettings != u"9600,n,8,1")
        fields << QStringLiteral("settings=") + options.serialSettings;
    if (!options.appendCrc)
        fields << QStringLiteral("no-crc");
    if (options.keepLink)
        fields << QStringLiteral("keep-link");
    if (options.keepGoing)
        fields << QStringLiteral("keep-going");
    if (options.summary)
        fields << QStringLiteral("summary");
    if (options.mbap)
        fields << QStringLiteral("mbap");
    if (options.jsonPath)
        fields << QStringLiteral("json=") + *options.jsonPath;
    if (options.junitPath)
        fields << QStringLiteral("junit=") + *options.junitPath;
    for (const auto &[line, pattern] : options.expect) {
        QString text;
        if (const auto *bytes = std::get_if<ExpectedBytes>(&pattern)) {
            for (const auto &byte : bytes->bytes)
                text += byte ? QStringLiteral("%1").arg(*byte, 2, 16, QChar(u'0')) : "..";
        } else {
            const auto &exception = std::get<ExpectedException>(pattern);
            text = exception.code ? QStringLiteral("exception:%1").arg(*exception.code)
                                  : QStringLiteral("exception");
        }
        fields << QStringLiteral("expect%1=").arg(line) + text;
    }
    return fields;
}

QString describe(const ParsedCommandLine &parsed)
{
    if (const auto *usage = std::get_if<UsageError>(&parsed))
        return QStringLiteral("refused: ") + usage->text;
    if (const auto *request = std::get_if<RunRequest>(&parsed))
        return *request == RunRequest::Help ? QStringLiteral("help") : QStringLiteral("version");
    return QStringLiteral("run: ") + changedFields(std::get<RunOptions>(parsed)).join(u' ');
}

} // namespace

class TestRunOptions : public QObject
{
    Q_OBJECT
private slots:
    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const QStringList &args, const char *text) {
            QTest::newRow(name) << args << QString::fromUtf8(text);
        };

        // The parser's own, and the programs' shared front: one row for each
        // rule, not for each option.
        row("unknown option", {"--fast", "f.ini"}, "Unknown option 'fast'.");
        row("two unknown options", {"--fast", "--slow", "f.ini"}, "Unknown options: fast, slow.");
        row("unknown option before --help", {"--fast", "--help"}, "Unknown option 'fast'.");
        row("--send without its value", {"f.ini", "--send"}, "Missing value after '--send'.");
        row("a value for --no-crc", {"--no-crc=1", "f.ini"}, "Unexpected value after '--no-crc'.");
        row("--send twice, = and single dash", {"--send=1", "-send", "2", "f.ini"},
            "--send given more than once");
        row("--no-crc twice", {"--no-crc", "--no-crc", "f.ini"}, "--no-crc given more than once");
        row("twice, before a missing file", {"--send", "1", "--send", "2"},
            "--send given more than once");

        // The configuration file.
        row("nothing at all", {}, "no configuration file given");
        row("two files", {"a.ini", "b.ini"}, "more than one configuration file given");
        row("a missing file before --tcp and --serial", {"--tcp", "127.0.0.1:1", "--serial", "1"},
            "no configuration file given");

        // The link.
        row("--tcp and --serial", {"--tcp", "127.0.0.1:502", "--serial", "1", "f.ini"},
            "--tcp and --serial exclude each other");

        // One exchange has no repeat settings.
        const char *sendOnly = "--send runs one exchange: no --lines, --passes or --pause";
        row("--send with --lines", {"--send", "1", "--lines", "1-2", "f.ini"}, sendOnly);
        row("--send with --passes", {"--send", "1", "--passes", "2", "f.ini"}, sendOnly);
        row("--send with --pause", {"--send", "1", "--pause", "2", "f.ini"}, sendOnly);
        row("--send with a malformed --lines", {"--lines", "3", "--send", "1", "f.ini"}, sendOnly);

        // --lines A-B.
        const char *linesForm = "--lines takes A-B, such as 1-15";
        row("--lines without a range", {"--lines", "3", "f.ini"}, linesForm);
        row("--lines with three ends", {"--lines", "1-2-3", "f.ini"}, linesForm);
        row("--lines without its start", {"--lines", "-5", "f.ini"}, linesForm);
        row("--lines, blank ends", {"--lines", " - ", "f.ini"}, linesForm);
        const char *linesRange = "--lines takes lines 1 to 15, the first not after the last, not ";
        const auto linesRow = [&](const char *name, const char *value) {
            row(name, {"--lines", value, "f.ini"},
                (QByteArray(linesRange) + '"' + value + '"').constData());
        };
        linesRow("--lines backwards", "4-1");
        linesRow("--lines past line 15", "1-20");
        row("--lines before a malformed --tcp", {"--lines", "3", "--tcp", "x", "f.ini"}, linesForm);

        // The numbers, each in its range.
        row("--send 16", {"--send", "16", "f.ini"}, "--send takes 1 to 15, not \"16\"");
        row("--send, hexadecimal", {"--send", "&H3", "f.ini"}, "--send takes 1 to 15, not \"&H3\"");
        row("--passes 0", {"--passes", "0", "f.ini"}, "--passes takes 1 to 32767, not \"0\"");
        row("--passes 32768", {"--passes", "32768", "f.ini"},
            "--passes takes 1 to 32767, not \"32768\"");
        row("--pause 2^31", {"--pause", "2147483648", "f.ini"},
            "--pause takes 1 to 2147483647, not \"2147483648\"");
        row("--timeout, twenty digits", {"--timeout", "99999999999999999999", "f.ini"},
            "--timeout takes 1 to 2147483647, not \"99999999999999999999\"");
        row("--tcp port 0", {"--tcp", "127.0.0.1:0", "f.ini"},
            "--tcp takes a port from 1 to 65535, not \"0\"");
        row("--tcp port 65536", {"--tcp", "127.0.0.1:65536", "f.ini"},
            "--tcp takes a port from 1 to 65535, not \"65536\"");
        row("--serial 0", {"--serial", "0", "f.ini"},
            "--serial takes a port number from 1, a device path or a device name, not \"0\"");
        row("--serial-settings, parity x", {"--serial-settings", "9600,x,8,1", "f.ini"},
            "--serial-settings takes baud,parity,data,stop such as 9600,n,8,1, not "
            "\"9600,x,8,1\"");
        // tallowick-monitor refuses the same with the same words.
        row("--serial-settings, a rate no port is set to",
            {"--serial-settings", "12345,n,8,1", "f.ini"},
            "--serial-settings takes a baud rate a serial port is set to, 50 to 4000000 such as "
            "9600 or 115200, not \"12345,n,8,1\"");
        const char *lineForm = "--line takes N=HEX, N from 1 to 15, HEX the line's bytes, not ";
        const auto lineRow = [&](const char *name, const char *value) {
            row(name, {"--line", value}, (QByteArray(lineForm) + '"' + value + '"').constData());
        };
        lineRow("--line 16", "16=01");
        lineRow("--line without =", "1");
        lineRow("--line without bytes", "1=");
        lineRow("--line, not hexadecimal", "1=0G");
        row("--line 2 twice", {"--line", "2=01", "--line", "2=02"},
            "--line 2 given more than once");
        row("--mbap with --serial", {"--mbap", "--serial", "1", "f.ini"},
            "--mbap is Modbus TCP: not with --serial");
        row("--junit empty", {"--junit=", "f.ini"}, "--junit takes a file name, not \"\"");
        row("--expect line 0", {"--expect", "0=01", "f.ini"},
            "--expect takes N=PATTERN, N from 1 to 15, not \"0=01\"");
        row("--expect without =", {"--expect", "01", "f.ini"},
            "--expect takes N=PATTERN, N from 1 to 15, not \"01\"");
        row("--expect, a pattern it cannot read", {"--expect", "4=01 3", "f.ini"},
            "--expect 4: \"3\" has an odd number of hexadecimal digits; --expect takes "
            "hexadecimal bytes, \"..\" for any byte, \"exception\" or \"exception:CC\"");
        row("--expect 1 twice", {"--expect", "1=01", "--expect", "1=02", "f.ini"},
            "--expect 1 given more than once");

        // --tcp HOST:PORT.
        const char *tcpForm = "--tcp takes HOST:PORT, such as 127.0.0.1:502";
        row("--tcp without a port", {"--tcp", "127.0.0.1", "f.ini"}, tcpForm);
        row("--tcp with an empty port", {"--tcp", "127.0.0.1:", "f.ini"}, tcpForm);
        row("--tcp without a host", {"--tcp", ":502", "f.ini"}, tcpForm);
        row("--tcp, IPv6 without brackets", {"--tcp", "::1:502", "f.ini"}, tcpForm);
        row("--tcp, empty brackets", {"--tcp", "[]:502", "f.ini"}, tcpForm);
    }

    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, text);
        QCOMPARE(describe(parseRunCommandLine(args)), QStringLiteral("refused: ") + text);
    }

    // Answered before anything else is looked at, once the parser took every
    // argument.
    void requests_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<RunRequest>("request");
        const auto row = [](const char *name, const QStringList &args, RunRequest request) {
            QTest::newRow(name) << args << request;
        };
        row("--help", {"--help"}, RunRequest::Help);
        row("--help after --version", {"--version", "--help"}, RunRequest::Help);
        row("--help with a refused run",
            {"--send", "1", "--send", "2", "--tcp", "x", "--serial", "1", "a", "b", "--help"},
            RunRequest::Help);
        row("--version with a refused run", {"--lines", "3", "--send", "1", "--version"},
            RunRequest::Version);
    }

    void requests()
    {
        QFETCH(QStringList, args);
        QFETCH(RunRequest, request);
        QCOMPARE(describe(parseRunCommandLine(args)),
                 describe(ParsedCommandLine(std::in_place_type<RunRequest>, request)));
    }

    // Each option alone, then all of them at once: every value lands in its
    // own field, as text; the engine's checks judge it when it is read.
    void runs_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("fields");
        const auto row = [](const char *name, const QStringList &args, const QStringList &fields) {
            QTest::newRow(name) << args << fields;
        };

        row("the file alone", {"slot.ini"}, {"file=slot.ini"});
        row("a file named like an option, after --", {"--send", "3", "--", "--keep-link"},
            {"file=--keep-link", "send=3"});

        row("--lines, blanks around its ends", {"--lines", " 4 - 9 ", "f.ini"},
            {"file=f.ini", "first=4", "last=9"});
        row("--tcp", {"--tcp", "127.0.0.1:1502", "f.ini"},
            {"file=f.ini", "address=127.0.0.1", "port=1502"});
        row("--tcp, IPv6 in brackets", {"--tcp", "[::1]:1503", "f.ini"},
            {"file=f.ini", "address=::1", "port=1503"});
        row("--serial, a number", {"--serial", "3", "f.ini"}, {"file=f.ini", "serial=3"});
        row("--serial-settings", {"--serial-settings", "19200,e,7,2", "f.ini"},
            {"file=f.ini", "settings=19200,e,7,2"});
        row("--no-crc", {"--no-crc", "f.ini"}, {"file=f.ini", "no-crc"});
        row("--keep-link", {"--keep-link", "f.ini"}, {"file=f.ini", "keep-link"});
        row("--keep-going", {"--keep-going", "f.ini"}, {"file=f.ini", "keep-going"});
        row("--summary", {"--summary", "f.ini"}, {"file=f.ini", "summary"});
        row("--mbap", {"--mbap", "f.ini"}, {"file=f.ini", "mbap"});
        row("--json", {"--json", "r.jsonl", "f.ini"}, {"file=f.ini", "json=r.jsonl"});
        row("--junit", {"--junit", "r.xml", "f.ini"}, {"file=f.ini", "junit=r.xml"});
        row("--expect bytes", {"--expect", "2=01 03 .. 0A", "f.ini"},
            {"file=f.ini", "expect2=0103..0a"});
        row("--expect twice, two lines", {"--expect", "3=EXCEPTION", "--expect", "1=01", "f.ini"},
            {"file=f.ini", "expect1=01", "expect3=exception"});
        row("--send, the ends of its range", {"--send", " 15 ", "f.ini"},
            {"file=f.ini", "send=15"});
        row("--passes, its largest", {"--passes", "32767", "f.ini"},
            {"file=f.ini", "passes=32767"});
        row("--timeout and --pause, their largest",
            {"--timeout", "2147483647", "--pause", "2147483647", "f.ini"},
            {"file=f.ini", "pause=2147483647", "timeout=2147483647"});
        row("--lines, one line", {"--lines", "15-15", "f.ini"},
            {"file=f.ini", "first=15", "last=15"});
        row("--line without a file", {"--line", "1=010300000001"}, {"file=", "line1=010300000001"});
        row("--line, a file too", {"--line=15=0A", "f.ini"}, {"file=f.ini", "line15=0A"});
        row("--line three times", {"--line", "3=01", "--line", "1=02", "--line", "12=ab"},
            {"file=", "line1=02", "line3=01", "line12=ab"});
    }

    void runs()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, fields);
        QCOMPARE(describe(parseRunCommandLine(args)), QStringLiteral("run: ") + fields.join(u' '));
    }

    // Arguments nobody would type.
    void hostile_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("outcome");
        const QString huge(100'000, u'9');
        QTest::newRow("a 100,000-character value")
            << QStringList{"--send", huge, "f.ini"}
            << QStringLiteral("refused: --send takes 1 to 15, not \"%1\"").arg(huge);
        QTest::newRow("an empty argument as the file")
            << QStringList{""} << QStringLiteral("run: file=");
        const QString withNul = QStringLiteral("1") + QChar(0) + QStringLiteral("2");
        QTest::newRow("a NUL in a value")
            << QStringList{"--serial", "/dev/" + withNul, "f.ini"}
            << QStringLiteral("run: file=f.ini serial=/dev/") + withNul;
    }

    void hostile()
    {
        QFETCH(QStringList, args);
        QTEST(describe(parseRunCommandLine(args)), "outcome");
    }
};

QTEST_GUILESS_MAIN(TestRunOptions)
#include "tst_run_options.moc"
