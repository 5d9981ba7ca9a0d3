// tallowick-run end to end: the program itself, started with no display,
// against the independent libmodbus slave (tests/peers/rtu_slave.cpp) on a pty
// and over loopback TCP, a silent pty, a port nobody listens on, and a
// loopback peer that must receive nothing when a run is refused. Replies and
// CRCs: those of the libmodbus 3.1 slave.
#include "support/files.h"
#include "support/peers.h"
#include "support/pty_pair.h"
#include "support/time_stamp.h"
#include "tallowick_version.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace tallowick::test;

namespace {

const QString send1 = QStringLiteral("傳送CMD1： > 010300000001 840A");
const QString send2 = QStringLiteral("傳送CMD2： > 010300010001 D5CA");
const QString reply1 = QStringLiteral("接收 < 0103020005 7847");
const QString reply2 = QStringLiteral("接收 < 0103020000 B844");
const QString connecting = QStringLiteral("-------正在連線-------");
const QString closing = QStringLiteral("-------關閉連線-------");

// Lines 1 and 2, two passes, 1 ms apart.
const QByteArray slotFile = "[SETTINGS]\r\nFILENAME=bench\r\nIP=127.0.0.1\r\nPORT=%port\r\n"
                            "TIMEOUT=5000\r\nREPEAT=1\r\nREPEAT_START=1\r\nREPEAT_STOP=2\r\n"
                            "SEND_CNT=1\r\nREPEAT_CNT=2\r\nCMD0=010300000001\r\n"
                            "CMD1=010300010001\r\n";

// How a run ended, with its log without the time stamps, oldest first.
struct Finished : ProgramEnded
{
    QStringList entries;
};

QStringList entriesOf(const QByteArray &out)
{
    QStringList entries;
    for (const QString &line : QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch stamp = timeStamp.match(line);
        if (!stamp.hasMatch() || stamp.capturedStart() != 0)
            entries << QStringLiteral("no time stamp: ") + line;
        else
            entries << line.mid(stamp.capturedLength());
    }
    return entries;
}

// The exchange records among JSON Lines, each as "RESULT REPLY" (the reply
// when `withReply`), and the requests as they went out.
QStringList resultsOf(const QByteArray &jsonLines, bool withReply = false,
                      QStringList *requests = nullptr)
{
    QStringList results;
    for (const QByteArray &line : jsonLines.split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (!record.contains("result"))
            continue;
        results << (record.value("result").toString() + u' ' +
                    (withReply ? record.value("reply").toString() : QString()))
                       .trimmed();
        if (requests)
            *requests << record.value("request").toString();
    }
    return results;
}

class Runner : public ProgramProcess
{
public:
    Runner(const QStringList &args, const QString &program = QStringLiteral(TALLOWICK_RUN),
           const std::function<void(QProcess &)> &prepare = {})
        : ProgramProcess(program, args, prepare)
    {
    }
    Finished finish(int ms = 60000)
    {
        Finished finished{ProgramProcess::finish(ms), {}};
        finished.entries = entriesOf(finished.out);
        return finished;
    }
};

} // namespace

class TestHeadlessRun : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

    // The slot file with some keys replaced ("KEY=VALUE") or left out ("KEY=").
    QString writeSlot(const QStringList &changes, const QString &port)
    {
        QString file = QString::fromUtf8(slotFile).replace(QStringLiteral("%port"), port);
        for (const QString &change : changes) {
            const QString key = change.section(u'=', 0, 0);
            file.remove(QRegularExpression(QStringLiteral("\\r\\n%1=[^\\r]*").arg(key)));
            if (!change.endsWith(u'='))
                file += change + QStringLiteral("\r\n");
        }
        const QString path = m_folder.filePath(QStringLiteral("slot.ini"));
        writeFile(path, file.toUtf8());
        return path;
    }

private slots:
    void runs_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QStringList>("changes"); // to the slot file
        QTest::addColumn<QStringList>("args");    // %serial: the peer's serial port
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("errors");
        // Changes and arguments a blank apart; --no-file: the run is given none.
        const auto row = [](const char *name, const char *peer, const char *changes,
                            const char *args, int status, const QStringList &entries,
                            const QString &errors = {}) {
            QTest::newRow(name) << QString::fromUtf8(peer)
                                << QString::fromUtf8(changes).split(u' ', Qt::SkipEmptyParts)
                                << QString::fromUtf8(args).split(u' ', Qt::SkipEmptyParts) << status
                                << entries << errors;
        };

        const QString ip = QStringLiteral("IP:127.0.0.1:%port");
        const QStringList tcpExchange1{ip, connecting, send1, reply1, closing};
        const QStringList tcpExchange2{ip, connecting, send2, reply2, closing};
        const QStringList ptyPass{send1, reply1, closing, send2, reply2, closing};
        row("tcp: two lines, two passes", "tcp", "", "", 0,
            tcpExchange1 + tcpExchange2 + tcpExchange1 + tcpExchange2);
        row("pty: two lines, two passes", "pty", "", "--serial %serial", 0, ptyPass + ptyPass);
        row("tcp: --send 2, the link kept", "tcp", "", "--send 2 --keep-link", 0,
            {ip, connecting, send2, reply2});
        // The file's own values would refuse the run or send elsewhere.
        row("tcp: one pass of lines 1 and 2 kept open, the file's repeat settings overridden",
            "tcp", "PORT=1 REPEAT_CNT= TIMEOUT= REPEAT= REPEAT_START=2 REPEAT_STOP=3",
            "--tcp 127.0.0.1:%port --lines 1-2 --passes 1 --timeout 5000 --pause 1 --keep-link", 0,
            {ip, connecting, send1, reply1, send2, reply2});
        row("pty: --send 2 at 19200 baud, lines as typed", "pty", "CMD1=010300010001D5CA",
            "--serial %serial --serial-settings 19200,n,8,1 --send 2 --no-crc", 0,
            {"傳送CMD2： > 010300010001D5CA", reply2, closing});
        const QString noReply =
            QStringLiteral("tallowick-run: line 1: no-reply: nothing within 300 ms\n");
        row("pty: a silent device", "silent", "TIMEOUT=300 REPEAT_CNT=1 REPEAT_STOP=1",
            "--serial %serial", 1, {send1, "--------無回應--------", closing}, noReply);
        // Told at once, with the system's reason, not after the time-out.
        const QString refused = QStringLiteral(
            "tallowick-run: line 1: link-failed: 127.0.0.1:%port: Connection refused\n");
        row("tcp: nobody listens", "gone", "TIMEOUT=600000", "--send 1", 1,
            {ip, connecting, "------9:連線錯誤------", closing}, refused);
        // The second pass meets the peer gone: without --keep-going the run
        // ends on the failed link, with it the third pass tries again.
        const QStringList failed{ip, connecting, "------9:連線錯誤------", closing};
        // The peer refuses any connection after its first, so the pause
        // between passes needs no room for it to go.
        row("tcp: --keep-going past the peer gone", "gone after one",
            "TIMEOUT=2000 REPEAT_STOP=1 REPEAT=1 REPEAT_CNT=3", "--keep-going", 1,
            tcpExchange1 + failed + failed, refused + refused);
        row("tcp: without --keep-going the peer gone ends the run", "gone after one",
            "TIMEOUT=2000 REPEAT_STOP=1 REPEAT=1 REPEAT_CNT=3", "", 1, tcpExchange1 + failed,
            refused);
        // No file: every other value is the window's default.
        row("tcp: a first read with --line and no file", "tcp", "",
            "--no-file --line 1=010300010001 --tcp 127.0.0.1:%port --send 1", 0,
            {ip, connecting, "傳送CMD1： > 010300010001 D5CA", reply2, closing});
        row("tcp: --line replaces the file's line", "tcp", "", "--line 1=010300010001 --send 1", 0,
            {ip, connecting, "傳送CMD1： > 010300010001 D5CA", reply2, closing});
        row("tcp: a start after the stop sends nothing", "tcp", "REPEAT_START=4 REPEAT_STOP=1", "",
            1, {}, "tallowick-run: nothing was sent: the lines from 4 to 1 are no range\n");
        // As a TCP peer that refuses: a failed link, not a refused run.
        row("a serial port that does not exist", "none", "TIMEOUT=60000",
            "--serial /dev/tallowick-no-such-port --send 1", 1, {"--------無回應--------", closing},
            "COM Port Error: Error port setting\ntallowick-run: line 1: link-failed: "
            "/dev/tallowick-no-such-port: No such file or directory\n");
    }

    void runs()
    {
        QFETCH(QString, peer);
        QFETCH(QStringList, changes);
        QFETCH(QStringList, args);
        QFETCH(QStringList, entries);

        std::optional<SlavePeer> slave;
        std::optional<PtyPair> silent;
        std::optional<QTcpServer> gone;
        QString port = QStringLiteral("502");
        QString serial;
        if (peer == u"tcp" || peer == u"pty" || peer == u"gone after one") {
            slave.emplace(peer == u"pty"              ? QStringLiteral("pty")
                          : peer == u"gone after one" ? QStringLiteral("tcp-once")
                                                      : QStringLiteral("tcp"));
            QVERIFY(slave->isRunning());
            (peer == u"pty" ? serial : port) = slave->where();
        } else if (peer == u"silent") {
            silent.emplace();
            QVERIFY(silent->isValid());
            serial = silent->slavePath();
        } else if (peer == u"gone") {
            gone.emplace();
            QVERIFY(gone->listen(QHostAddress::LocalHost));
            port = QString::number(gone->serverPort());
            gone->close();
        }
        args.replaceInStrings(QStringLiteral("%serial"), serial);
        args.replaceInStrings(QStringLiteral("%port"), port);
        entries.replaceInStrings(QStringLiteral("%port"), port);
        QFETCH(QString, errors);
        errors.replace(QStringLiteral("%port"), port);

        const QString slot = writeSlot(changes, port);
        if (!args.removeOne(QStringLiteral("--no-file")))
            args << slot;
        const Finished run = Runner(args).finish();
        QCOMPARE(run.errors, errors);
        QCOMPARE(run.entries, entries);
        QTEST(run.status, "status");
    }

    // What the runner itself refuses, and how it passes on a refusal of the
    // settings' checks (those are tested one rule a row in tst_send_checks).
    // The command line's refusals are tst_run_options' rows; one of them here
    // shows how the program reports them.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("errors");
        QTest::addColumn<QStringList>("entries");
        const auto row = [](const char *name, const char *changes, const char *args,
                            const QString &errors, const QStringList &entries = {}) {
            QTest::newRow(name) << QString::fromUtf8(changes).split(u' ', Qt::SkipEmptyParts)
                                << QString::fromUtf8(args).split(u' ', Qt::SkipEmptyParts) << errors
                                << entries;
        };

        const QString run = QStringLiteral("tallowick-run: ");
        const QString usage = QStringLiteral("\nTry 'tallowick-run --help'.\n");
        row("a command line refused", "", "--tcp 127.0.0.1:502 --serial 1",
            run + "--tcp and --serial exclude each other" + usage);
        row("no such file", "", "--file-missing",
            "tallowick-run: cannot read %folder/missing.ini: No such file or directory\n");
        row("a folder as the file", "", "--file-folder",
            "tallowick-run: cannot read %folder: Is a directory\n");
        row("--json into no folder", "", "--json /nonexistent-folder/r.jsonl",
            "tallowick-run: cannot write /nonexistent-folder/r.jsonl: No such file or directory\n");
        row("--junit into no folder", "", "--junit /nonexistent-folder/r.xml",
            "tallowick-run: cannot write /nonexistent-folder/r.xml: No such file or directory\n");
        // What the file holds keeps the window's words, and the run names
        // the key or option at fault and what it takes.
        const QString repeatCount = QStringLiteral("Tallowick: Repeat count error!\n");
        row("the file's repeat count", "REPEAT_CNT=0", "",
            repeatCount + run + "REPEAT_CNT (--passes) takes 1 to 32767, not \"0\"\n",
            {"----輸入重複次數----"});
        row("the pause", "REPEAT=0", "",
            repeatCount + run + "REPEAT (--pause) takes 1 to 2147483647 ms, not \"0\"\n",
            {"----輸入重複次數----"});
        row("the file's time-out", "TIMEOUT=", "--send 1",
            "Tallowick: Timeout is Null.\n" + run +
                "TIMEOUT (--timeout) takes 1 to 2147483647 ms, not \"\"\n");
    }

    // Nothing reaches the peer; the message goes to standard error.
    void refusals()
    {
        QFETCH(QStringList, changes);
        QFETCH(QStringList, args);

        LoopbackPeer peer(QByteArray::fromHex("01030200057847"));
        int connections = 0;
        connect(&peer.server, &QTcpServer::newConnection, this, [&connections] { ++connections; });
        const QString slot = writeSlot(changes, peer.port());
        if (args.contains(QStringLiteral("--file-missing")))
            args = QStringList{m_folder.filePath(QStringLiteral("missing.ini"))};
        else if (args.contains(QStringLiteral("--file-folder")))
            args = QStringList{m_folder.path()};
        else
            args << slot;
        Runner runner(args);
        const Finished run = runner.finish();
        QFETCH(QString, errors);
        QCOMPARE(run.errors, errors.replace(QStringLiteral("%folder"), m_folder.path()));
        QTEST(run.entries, "entries");
        QCOMPARE(run.status, 2);
        QCOMPARE(connections, 0);
    }

    // A bare name not found where the run stands is a slot of the slot
    // folder, with and without ".ini": beside the program, or in the
    // configuration home in a build for the package. The other place holds a
    // slot whose peer refuses.
    void slotFolderLookUp_data()
    {
        QTest::addColumn<QString>("given");
        QTest::newRow("the name") << QStringLiteral("tst-headless-look-up.ini");
        QTest::newRow("without .ini") << QStringLiteral("tst-headless-look-up");
    }

    void slotFolderLookUp()
    {
        QFETCH(QString, given);
        SlavePeer slave(QStringLiteral("tcp"));
        QVERIFY(slave.isRunning());
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        QStringList places{QFileInfo(QStringLiteral(TALLOWICK_RUN)).absolutePath(),
                           home.filePath(QStringLiteral("tallowick"))};
        if (TALLOWICK_RUN_SLOTS_IN_CONFIG_HOME)
            places.swapItemsAt(0, 1);
        for (const QString &place : places) {
            const QString port = place == places.first() ? slave.where() : QStringLiteral("1");
            QDir().mkpath(place);
            writeFile(place + QStringLiteral("/tst-headless-look-up.ini"),
                      QString::fromUtf8(slotFile).replace(QStringLiteral("%port"), port).toUtf8());
        }
        Runner runner({QStringLiteral("--send"), QStringLiteral("2"), given});
        const Finished run = runner.finish();
        for (const QString &place : places)
            QFile::remove(place + QStringLiteral("/tst-headless-look-up.ini"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(run.errors, QString());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.entries.value(3), reply2);
    }

    // Every result a scripted peer can bring about, with all three records:
    // the JSON lines parsed, the summary's figures checked against them, the
    // JUnit report parsed by python3's XML parser.
    void records()
    {
        // Per pass: ok, wrong CRC, too short, an exception, an unexpected
        // value (line 5 expects 0005), nothing.
        const QList<QByteArray> answers{"01030200057847", "01030200050000", "01",
                                        "018302C0F1",     "01030200063846", ""};
        LoopbackPeer peer;
        int asked = 0;
        peer.answer = [&] { return QByteArray::fromHex(answers[asked++ % answers.size()]); };
        const QString json = m_folder.filePath(QStringLiteral("records.jsonl"));
        const QString junit = m_folder.filePath(QStringLiteral("report.xml"));
        QStringList args = QStringLiteral("--lines 1-6 --passes 3 --pause 1 --timeout 300 "
                                          "--keep-going --expect 5=0103020005 --summary")
                               .split(u' ');
        args << "--tcp"
             << "127.0.0.1:" + peer.port() << "--json" << json << "--junit" << junit;
        for (int line = 1; line <= 6; ++line)
            args << "--line" << QStringLiteral("%1=010300000001").arg(line);
        const Finished run = Runner(args).finish();
        // One line for each failed exchange, with its line, result and why.
        const QString failures = QStringLiteral(
            "tallowick-run: line 2: wrong-crc: reply 01030200050000 ends in 0000 where its CRC is "
            "7847\n"
            "tallowick-run: line 3: too-short: reply 01 is too short\n"
            "tallowick-run: line 4: exception 02 (illegal data address)\n"
            "tallowick-run: line 5: unexpected: reply 0103020006 does not match 0103020005\n"
            "tallowick-run: line 6: no-reply: nothing within 300 ms\n");
        QCOMPARE(run.errors, failures.repeated(3));
        QCOMPARE(run.status, 1);

        const QList<QByteArray> lines = readFile(json).split('\n');
        QCOMPARE(lines.size(), 3 * 6 + 2); // the records, the summary, the last line break
        QCOMPARE(lines.last(), QByteArray());
        const QStringList results{"ok",        "wrong-crc",  "too-short",
                                  "exception", "unexpected", "no-reply"};
        QList<qint64> times;
        for (int i = 0; i < 18; ++i) {
            const QJsonObject record = QJsonDocument::fromJson(lines[i]).object();
            QCOMPARE(record.value("n").toInt(), i + 1);
            QCOMPARE(record.value("line").toInt(), i % 6 + 1);
            QCOMPARE(record.value("request").toString(), QStringLiteral("010300000001840A"));
            QCOMPARE(record.value("result").toString(), results[i % 6]);
            const QString reply = QString::fromLatin1(answers[i % 6]);
            QCOMPARE(record.value("reply"), reply.isEmpty() ? QJsonValue() : QJsonValue(reply));
            QCOMPARE(record.value("response_us").isNull(), reply.isEmpty());
            if (!reply.isEmpty())
                times << record.value("response_us").toInteger();
            // Its form is tst_time_stamp's.
            QVERIFY(!record.value("time").toString().isEmpty());
        }
        const QJsonObject total =
            QJsonDocument::fromJson(lines[18]).object()[u"summary"][u"total"].toObject();
        QCOMPARE(total.value("exchanges").toInt(), 18);
        for (const QString &result : results)
            QCOMPARE(total.value(result).toInt(), 3);
        // The summary's times are the records' (its ranks are tst_response_times').
        std::sort(times.begin(), times.end());
        const QJsonObject response = total.value("response_us").toObject();
        QCOMPARE(response.value("min").toInteger(), times.first());
        QCOMPARE(response.value("max").toInteger(), times.last());

        // Six test cases, five failing.
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {"-c",
                      "import sys, xml.etree.ElementTree as E\n"
                      "s = E.parse(sys.argv[1]).getroot().find('testsuite')\n"
                      "print(s.get('tests'), s.get('failures'), len(s.findall('testcase')),\n"
                      "      [c.find('failure').get('type') for c in s.findall('testcase')\n"
                      "       if c.find('failure') is not None])",
                      junit});
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(python.readAllStandardOutput()).trimmed(),
                 QStringLiteral("6 5 6 ['wrong-crc', 'too-short', 'exception', 'unexpected', "
                                "'no-reply']"));
    }

    // Modbus TCP against libmodbus's own TCP server: with --mbap its replies,
    // without it nothing the server takes for a request.
    void mbap_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QString>("failure"); // the first told on standard error
        // The records hold the replies as they came, header and all.
        QTest::newRow("--mbap") << QStringList{"--mbap"}
                                << QStringList{"ok 0001000000050103020005",
                                               "exception 000200000003018302",
                                               "ok 0003000000050103020000"}
                                << "line 2: exception 02 (illegal data address)";
        // The first RTU frame 010300000001840A read as a header: transaction
        // 0x0103, protocol 0, length 1, then the CRC taken for unit 0x84 and
        // function 0x0A, which the server answers with exception 01. As an
        // RTU frame that reply's last two bytes are no CRC.
        QTest::newRow("RTU frames to a Modbus TCP server")
            << QStringList{} << QStringList{"wrong-crc 010300000003848A01"}
            << "line 1: wrong-crc: reply 010300000003848A01 ends in 8A01 where its CRC is 0B60";
    }

    void mbap()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, results);
        SlavePeer server(QStringLiteral("mbap"));
        QVERIFY(server.isRunning());
        const Finished run =
            Runner(args + QStringList{"--line", "1=010300000001", "--line", "2=01030000000B",
                                      "--line", "3=010300010001", "--lines", "1-3", "--passes", "1",
                                      "--timeout", "2000", "--keep-going", "--keep-link", "--json",
                                      "-", "--tcp", "127.0.0.1:" + server.where()})
                .finish();
        // The log goes to standard error, the records taking standard output.
        QCOMPARE(entriesOf(run.errors.section(u'\n', 0, 0).toUtf8()),
                 QStringList{"IP:127.0.0.1:" + server.where()});
        QFETCH(QString, failure);
        QCOMPARE(run.errors.split(u'\n').filter(QStringLiteral("tallowick-run: ")).value(0),
                 "tallowick-run: " + failure);
        QCOMPARE(resultsOf(run.out, true).mid(0, results.size()), results);
        QCOMPARE(run.status, 1);
    }

    // A Modbus TCP peer that answers wrongly, one way an exchange; request k
    // carries transaction id k.
    void mbapFaults()
    {
        const QList<QByteArray> answers{
            "0001000000050103020005", // right
            "0003000000050103020005", // another transaction id
            "0003000100050103020005", // protocol 1
            "0004000000050203020005", // another unit
            "0005000000050103",       // cut short
            "00060000000001",         // a length no frame has
            "0007000000020103",       // a length that leaves no byte count
        };
        LoopbackPeer peer;
        int asked = 0;
        peer.answer = [&] { return QByteArray::fromHex(answers[asked++ % answers.size()]); };
        const Finished run =
            Runner({"--mbap", "--line", "1=010300000001", "--lines", "1-1", "--passes", "7",
                    "--pause", "1", "--timeout", "300", "--keep-going", "--json", "-", "--tcp",
                    "127.0.0.1:" + peer.port()})
                .finish();
        // The requests as they went out: a header, then the line without a CRC.
        QStringList requests;
        QCOMPARE(resultsOf(run.out, false, &requests),
                 (QStringList{"ok", "bad-header", "bad-header", "bad-header", "too-short",
                              "bad-header", "too-short"}));
        // Each told on standard error with what the header got wrong.
        QCOMPARE(run.errors.split(u'\n').filter(QStringLiteral("tallowick-run: ")),
                 (QStringList{"tallowick-run: line 1: bad-header: MBAP transaction 3, expected 2",
                              "tallowick-run: line 1: bad-header: MBAP protocol 1, not 0",
                              "tallowick-run: line 1: bad-header: MBAP unit 2, expected 1",
                              "tallowick-run: line 1: too-short: reply 0005000000050103 is too "
                              "short: its MBAP length is 5, and 2 bytes of it came",
                              "tallowick-run: line 1: bad-header: MBAP length 0, not from 2 to 254",
                              "tallowick-run: line 1: too-short: reply 0007000000020103 is too "
                              "short: its function needs more than the MBAP length of 2 leaves"}));
        QCOMPARE(run.status, 1);
        QCOMPARE(peer.received.left(12).toHex(), QByteArray("000100000006010300000001"));
        for (const QString &request : std::as_const(requests))
            QCOMPARE(request.mid(4), QStringLiteral("00000006010300000001"));
    }

    // Each record option alone, and what it changes on its own. Standard
    // output holds one thing: with --json - the log and the table go to
    // standard error, and every line of standard output is JSON.
    void recordOptionsAlone_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("lastLine"); // of standard output; "log" an entry
        QTest::addColumn<QString>("errors");   // "log ..." the log, then the rest
        // --expect that fails is a row of records(); a pattern's forms are tst_reply_pattern's.
        const auto row = [](const char *name, const char *args, int status, const char *lastLine,
                            const char *errors) {
            QTest::newRow(name) << QString::fromUtf8(args).split(u' ', Qt::SkipEmptyParts) << status
                                << lastLine << errors;
        };
        row("none", "", 0, "log", "");
        row("--expect, the value", "--expect 1=01030200..", 0, "log", "");
        row("--summary", "--summary", 0, "total", "");
        row("--json -", "--json -", 0, "{\"summary\"", "log");
        row("--json - --summary", "--json - --summary", 0, "{\"summary\"", "log total");
        row("--json to a file", "--json %folder/a.jsonl", 0, "log", "");
    }

    void recordOptionsAlone()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, lastLine);
        QFETCH(QString, errors);
        LoopbackPeer peer(QByteArray::fromHex("01030200057847"));
        args.replaceInStrings(QStringLiteral("%folder"), m_folder.path());
        const Finished run = Runner(args << "--send"
                                         << "1" << writeSlot({}, peer.port()))
                                 .finish();
        QTEST(run.status, "status");
        const QString last = QString::fromUtf8(run.out).split(u'\n', Qt::SkipEmptyParts).last();
        if (lastLine == u"log") {
            QCOMPARE(run.entries.last(), closing);
            QCOMPARE(run.entries.size(), 5);
        } else {
            QVERIFY2(last.startsWith(lastLine), qPrintable(last));
        }
        if (errors.startsWith(u"log")) {
            const QStringList lines = run.errors.split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(entriesOf(lines.mid(0, 5).join(u'\n').toUtf8()).last(), closing);
            if (errors.endsWith(u"total"))
                QVERIFY2(lines.last().startsWith(u"total"), qPrintable(lines.last()));
            else
                QCOMPARE(lines.size(), 5);
            // Python's own JSON reader takes every line of standard output.
            QProcess python;
            python.start(QStringLiteral("python3"),
                         {"-c", "import json, sys\n"
                                "lines = sys.stdin.buffer.read().split(b'\\n')\n"
                                "assert lines[-1] == b''\n"
                                "print(len([json.loads(l) for l in lines[:-1]]))"});
            python.write(run.out);
            python.closeWriteChannel();
            QVERIFY(python.waitForFinished(30000));
            QCOMPARE(python.readAllStandardOutput().trimmed(), QByteArray("2"));
        } else {
            QCOMPARE(run.errors, errors);
        }
        if (args.contains(m_folder.path() + "/a.jsonl"))
            QVERIFY(readFile(m_folder.filePath("a.jsonl")).contains("\"result\":\"ok\""));
    }

    // A run ended by a signal in the middle of an exchange: every record is
    // complete, and the exchange cut short is neither good nor failed.
    void interruptedRecords()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QByteArray received;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = silent.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this,
                    [&received, socket] { received += socket->readAll(); });
        });
        const QString json = m_folder.filePath(QStringLiteral("cut.jsonl"));
        const QString junit = m_folder.filePath(QStringLiteral("cut.xml"));
        Runner runner({"--send", "1", "--timeout", "600000", "--summary", "--json", json, "--junit",
                       junit, writeSlot({}, QString::number(silent.serverPort()))});
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 8, 30000);
        ::kill(pid_t(runner.process().processId()), SIGINT);
        const Finished run = runner.finish();
        QCOMPARE(run.status, 130);
        const QList<QByteArray> lines = readFile(json).split('\n');
        QCOMPARE(lines.size(), 3);
        const QJsonObject record = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(record.value("result").toString(), QStringLiteral("interrupted"));
        QVERIFY(record.value("reply").isNull());
        const QJsonObject summary = QJsonDocument::fromJson(lines[1]).object();
        QCOMPARE(summary[u"summary"][u"total"][u"interrupted"].toInt(), 1);
        QVERIFY(readFile(junit).contains("<testcase name=\"CMD1\""));
        // Cut short, the exchange says nothing of the device.
        QVERIFY(!readFile(junit).contains("<failure"));
        QVERIFY(readFile(junit).trimmed().endsWith("</testsuites>"));
        QVERIFY(QString::fromUtf8(run.out)
                    .split(u'\n', Qt::SkipEmptyParts)
                    .last()
                    .startsWith(QStringLiteral("total")));
    }

    void stopSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("SIGINT") << SIGINT << 130;
        QTest::newRow("SIGTERM") << SIGTERM << 143;
    }

    // In the middle of a long run with the link kept open: the exchange ends,
    // the link closes, the log is complete.
    void stopSignals()
    {
        QFETCH(int, signal);
        QFETCH(int, status);
        LoopbackPeer peer(QByteArray::fromHex("01030200057847"));
        QList<QTcpSocket *> clients;
        connect(&peer.server, &QTcpServer::newConnection, this, [&] {
            // The peer's own handler takes the socket first; find it among its children.
            clients = peer.server.findChildren<QTcpSocket *>();
        });
        Runner runner(
            {"--passes", "32767", "--pause", "20", "--keep-link", writeSlot({}, peer.port())});
        QTRY_VERIFY_WITH_TIMEOUT(runner.process().peek(1 << 16).count(reply1.toUtf8()) >= 3, 30000);
        ::kill(pid_t(runner.process().processId()), signal);
        const Finished run = runner.finish();
        QCOMPARE(run.status, status);
        QCOMPARE(run.errors, QString());
        QVERIFY(run.out.endsWith('\n'));
        QCOMPARE(run.entries.mid(0, 5),
                 (QStringList{"IP:127.0.0.1:" + peer.port(), connecting, send1, reply1, send2}));
        QVERIFY(!run.entries.filter(QStringLiteral("no time stamp")).size());
        QVERIFY(!clients.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(clients.first()->state() == QAbstractSocket::UnconnectedState,
                                 10000);
    }

    // Every output checked: a full device, a reader gone, a device node and a
    // symbolic link given as outputs. The devices are nodes of the test's own
    // (the system's /dev/full and /dev/null are never written), so the rows
    // need the right to make them.
    void outputs_data()
    {
        QTest::addColumn<QStringList>("args"); // %dir: the test's folder
        QTest::addColumn<QString>("stdoutTo"); // a file, "closed", or empty
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("errors");
        QTest::addColumn<QString>("complete"); // a record file ending in its summary
        QTest::addColumn<QString>("xmlAt");    // a JUnit report complete there
        const QString full = QStringLiteral("tallowick-run: cannot write %1: No space left on "
                                            "device\n");
        // Arguments a blank apart.
        const auto row = [](const char *name, const char *args, const char *stdoutTo, int status,
                            const QString &errors, const char *complete, const char *xmlAt) {
            QTest::newRow(name) << QString::fromUtf8(args).split(u' ') << stdoutTo << status
                                << errors << complete << xmlAt;
        };
        row("--json to a full device", "--json %dir/full", "", 3, full.arg("%dir/full"), "", "");
        row("standard output to a full device", "--json %dir/r.jsonl", "%dir/full", 3,
            full.arg("standard output"), "%dir/r.jsonl", "");
        row("--junit to a full device", "--junit %dir/full --json %dir/r.jsonl", "", 3,
            full.arg("%dir/full"), "%dir/r.jsonl", "");
        row("--junit to a null device", "--junit %dir/null", "", 0, "", "", "");
        row("--json to a null device", "--json %dir/null", "", 0, "", "", "");
        row("--junit and --json through symbolic links",
            "--junit %dir/report-link --json %dir/json-link", "", 0, "", "%dir/json-target",
            "%dir/report-target");
        // Nobody left to tell: no word, the status of SIGPIPE, the files whole.
        row("standard output closed by its reader", "--json %dir/r.jsonl --junit %dir/r.xml",
            "closed", 141, "", "%dir/r.jsonl", "%dir/r.xml");
    }

    void outputs()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, stdoutTo);
        QFETCH(QString, errors);
        QFETCH(QString, complete);
        QFETCH(QString, xmlAt);
        QTemporaryDir dir;
        const auto at = [&dir](QString text) {
            return text.replace(QStringLiteral("%dir"), dir.path());
        };
        if (!makeMemoryDevices(dir.path()))
            QSKIP("making device nodes is not allowed here (it needs root)");
        QVERIFY(QFile::link(at("%dir/report-target"), at("%dir/report-link")));
        QVERIFY(QFile::link(at("%dir/json-target"), at("%dir/json-link")));

        LoopbackPeer peer(QByteArray::fromHex("01030200057847"));
        args = QStringList{"--lines", "1-2", "--passes",    "20",
                           "--pause", "1",   "--keep-link", writeSlot({}, peer.port())} +
               args;
        args.replaceInStrings(QStringLiteral("%dir"), dir.path());
        // "| head -1": the reader goes once it has its line.
        QProcess head;
        Runner runner(args, QStringLiteral(TALLOWICK_RUN), [&](QProcess &process) {
            if (stdoutTo == u"closed")
                process.setStandardOutputProcess(&head);
            else if (!stdoutTo.isEmpty())
                process.setStandardOutputFile(at(stdoutTo));
        });
        if (stdoutTo == u"closed") {
            head.start(QStringLiteral("head"), {QStringLiteral("-n"), QStringLiteral("1")});
            QVERIFY(head.waitForFinished(60000));
            QCOMPARE(head.readAllStandardOutput().count('\n'), 1);
        }
        const Finished run = runner.finish();
        QCOMPARE(run.errors, at(errors));
        QTEST(run.status, "status");
        if (!complete.isEmpty()) {
            const QByteArray records = readFile(at(complete));
            QVERIFY2(records.contains("\n{\"summary\":"), records.right(200).constData());
            QVERIFY(records.endsWith("}}}\n"));
        }
        if (!xmlAt.isEmpty())
            QVERIFY(readFile(at(xmlAt)).trimmed().endsWith("</testsuites>"));
        // What was given as an output is what it was.
        for (const QString &node : {QStringLiteral("null"), QStringLiteral("full")})
            QVERIFY(isMemoryDevice(dir.filePath(node), node));
        for (const char *link : {"%dir/report-link", "%dir/json-link"})
            QVERIFY(QFileInfo(at(QString::fromLatin1(link))).isSymLink());
    }

    // --keep-going with --keep-link: a peer that closes the connection
    // instead of answering every tenth request, or after answering the last
    // line of a pass (seen before the next pass, 200 ms on). The run goes on
    // with a new connection; only the cut exchanges fail, each told with the
    // reason.
    void keepGoingKeepLink_data()
    {
        QTest::addColumn<bool>("closeInstead");
        QTest::addColumn<QString>("pause");
        QTest::newRow("closed instead of the tenth answer") << true << "1";
        QTest::newRow("closed after each pass's answers") << false << "200";
    }

    void keepGoingKeepLink()
    {
        QFETCH(bool, closeInstead);
        QFETCH(QString, pause);
        LoopbackPeer peer;
        int asked = 0;
        int connections = 0;
        connect(&peer.server, &QTcpServer::newConnection, this, [&connections] { ++connections; });
        peer.answer = [&] {
            ++asked;
            if (closeInstead ? asked % 10 != 0 : asked % 2 != 0)
                return QByteArray::fromHex("01030200057847");
            QTimer::singleShot(0, peer.socket, &QTcpSocket::disconnectFromHost);
            return closeInstead ? QByteArray() : QByteArray::fromHex("01030200057847");
        };
        const QString json = m_folder.filePath(QStringLiteral("kept.jsonl"));
        const int passes = closeInstead ? 20 : 4;
        const Finished run =
            Runner({"--tcp", "127.0.0.1:" + peer.port(), "--line", "1=010300000001", "--line",
                    "2=010300010001", "--lines", "1-2", "--passes", QString::number(passes),
                    "--pause", pause, "--timeout", "600000", "--keep-link", "--keep-going",
                    "--json", json})
                .finish();
        const QString cut = QStringLiteral("tallowick-run: line 2: link-failed: 127.0.0.1:%1: The "
                                           "remote host closed the connection\n")
                                .arg(peer.port());
        QCOMPARE(run.errors, closeInstead ? cut.repeated(4) : QString());
        QCOMPARE(run.status, closeInstead ? 1 : 0);
        const QStringList results = resultsOf(readFile(json));
        QCOMPARE(results.size(), 2 * passes);
        for (int i = 0; i < results.size(); ++i)
            QCOMPARE(results[i], closeInstead && (i + 1) % 10 == 0 ? "link-failed" : "ok");
        QCOMPARE(asked, 2 * passes);
        QCOMPARE(connections, closeInstead ? 4 : passes);
    }

    // Both programs answer --help and --version without a display.
    void helpAndVersion_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("starts");
        QTest::newRow("tallowick-run --version") << TALLOWICK_RUN << "--version"
                                                 << "tallowick-run " TALLOWICK_VERSION "\n";
        QTest::newRow("tallowick-run --help") << TALLOWICK_RUN << "--help"
                                              << "Usage: tallowick-run";
        QTest::newRow("tallowick --version") << TALLOWICK_PROGRAM << "--version"
                                             << "tallowick " TALLOWICK_VERSION "\n";
        QTest::newRow("tallowick --help") << TALLOWICK_PROGRAM << "--help"
                                          << "Usage: tallowick";
    }

    void helpAndVersion()
    {
        QFETCH(QString, program);
        QFETCH(QString, option);
        QFETCH(QString, starts);
        const Finished run = Runner({option}, program).finish(30000);
        QCOMPARE(run.status, 0);
        QVERIFY2(QString::fromUtf8(run.out).startsWith(starts), qPrintable(starts));
        QCOMPARE(run.errors, QString());
    }
};

QTEST_GUILESS_MAIN(TestHeadlessRun)
#include "tst_headless_run.moc"
