// tallowick-monitor as a program, without a display: a scripted bus plays
// frames and silences into a pty at a baud rate's pace, and the monitor's
// JSON Lines, text, capture and exit status are read back. tshark, where
// installed, reads each capture.
#include "support/files.h"
#include "support/peers.h"
#include "support/pty_pair.h"
#include "support/scripted_line.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace tallowick::test;
using namespace std::chrono_literals;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

class Monitor : public ProgramProcess
{
public:
    explicit Monitor(const QStringList &args, const std::function<void(QProcess &)> &prepare = {})
        : ProgramProcess(QStringLiteral(TALLOWICK_MONITOR), args, prepare)
    {
    }
    qint64 pid() { return process().processId(); }
};

// The monitor has set the line (the pty's speed is its own): from now on it
// keeps every byte.
bool lineIsSet(const PtyPair &pty, speed_t speed)
{
    termios tio{};
    return ::tcgetattr(pty.masterFd(), &tio) == 0 && ::cfgetispeed(&tio) == speed;
}

QList<QJsonObject> jsonLines(const QByteArray &bytes)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : bytes.split('\n')) {
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    }
    return objects;
}

// "role BYTES" and, as they apply, " crc EXPECTED", " to N", " ex N", " split".
QString described(const QJsonObject &frame, bool withSplit = true)
{
    QString text = frame[u"role"].toString() + u' ' + frame[u"bytes"].toString();
    if (!frame[u"crc_ok"].toBool())
        text += QStringLiteral(" crc ") + frame[u"expected_crc"].toString();
    if (frame.contains(u"reply_to"))
        text += QStringLiteral(" to %1").arg(frame[u"reply_to"].toInt());
    if (frame.contains(u"exception"))
        text += QStringLiteral(" ex %1").arg(frame[u"exception"].toInt());
    if (withSplit && frame[u"split"].toBool())
        text += QStringLiteral(" split");
    return text;
}

// The records of a pcap file: their lengths, after a header of the right kind.
std::optional<QList<QByteArray>> pcapFrames(const QByteArray &file)
{
    if (file.size() < 24 || file.left(4) != hex("d4c3b2a1") || file.mid(20, 4) != hex("93000000"))
        return std::nullopt;
    QList<QByteArray> frames;
    for (qsizetype at = 24; at + 16 <= file.size();) {
        const QByteArray lengthBytes = file.mid(at + 8, 4);
        const qsizetype length = quint8(lengthBytes[0]) | quint8(lengthBytes[1]) << 8;
        frames << file.mid(at + 16, length);
        at += 16 + length;
    }
    return frames;
}

} // namespace

class TestMonitor : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

    QString path(const char *name) const { return m_folder.filePath(QLatin1String(name)); }

private slots:
    void init() { QVERIFY(m_folder.isValid()); }

    // A script, ";" between steps "HEX SILENCE_US" (or "HEX SILENCE_US bytes
    // [PAUSE_US@K]", played byte by byte with a pause before byte K), on a
    // line of the given settings; the frames the monitor reports, and its
    // summary's counts.
    void bus_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("frames");
        // requests, replies, unanswered, exceptions, CRC errors. Frames the bus
        // keeps apart may still reach a busy machine in one read and be split:
        // whether they were is checked only where the bus joins them.
        QTest::addColumn<QString>("counts");
        // The JSON on standard output, in place of the text.
        QTest::addColumn<bool>("jsonOnOutput");
        const auto row = [](const char *name, const char *settings, const QString &script,
                            const QStringList &frames, const char *counts, bool jsonOnOutput) {
            QTest::newRow(name) << QString::fromLatin1(settings) << script << frames
                                << QString::fromLatin1(counts) << jsonOnOutput;
        };
        row("wrong CRC, exception, broadcast", "9600,n,8,1",
            "010300000001840A 5000; 01030200057848 50000; 00060001000399DA 50000; "
            "010300000001840A 5000; 018302C0F1 50000",
            {"request 010300000001840A", "reply 01030200057848 crc 7847 to 1",
             "request 00060001000399DA", "request 010300000001840A", "reply 018302C0F1 to 4 ex 2"},
            "3 2 0 1 1", false);
        row("unanswered", "19200,e,8,1",
            "010300000001840A 300000; 010300000001840A 5000; 01030200057847 0",
            {"request 010300000001840A", "request 010300000001840A", "reply 01030200057847 to 2"},
            "2 1 1 0 0", false);
        row("a retry within the time-out, the first unanswered when it passes", "9600,n,8,1",
            "010300000001840A 50000; 010300000001840A 5000; 01030200057847 200000; "
            "010300000001840A 5000; 01030200057847 0",
            {"request 010300000001840A", "request 010300000001840A", "reply 01030200057847 to 2",
             "request 010300000001840A", "reply 01030200057847 to 4"},
            "3 2 1 0 0", false);
        // Bytes one at a time as a UART delivers them, frames 50 ms apart: a
        // late writer only lengthens a silence, and a frame it parts is joined
        // again by its CRC, as is the third, which the sender's own pause of
        // 8 ms parts. (How long a pause was is the cutter's own test: a
        // monitor kept from running by the load stamps bytes late.)
        row("byte by byte at 9600", "9600,n,8,1",
            "010300000001840A 50000 bytes; 01030200057847 50000 bytes; "
            "010600010003980B 50000 bytes 8000@3; 010600010003980B 0 bytes",
            {"request 010300000001840A", "reply 01030200057847 to 1", "request 010600010003980B",
             "reply 010600010003980B to 3"},
            "2 2 0 0 0", false);
        row("two frames in one batch split by their CRC", "9600,n,8,1",
            "010300000001840A01030200057847 50000",
            {"request 010300000001840A split", "reply 01030200057847 to 1 split"}, "1 1 0 0 0",
            false);
        // Frames t3.5 and a little apart stay apart. A machine too busy to read
        // each in time may hand two over at once; their CRCs still part them, so
        // the frames are checked, not how they were found.
        for (const auto &[settings, silenceUs] :
             {std::pair{"9600,n,8,1", 3646 + 500}, std::pair{"115200,n,8,1", 1750 + 250}}) {
            QStringList script;
            QStringList frames;
            for (int i = 1; i <= 10; ++i) {
                script << QStringLiteral("010300000001840A %1; 01030200057847 %1").arg(silenceUs);
                frames << "request 010300000001840A"
                       << QStringLiteral("reply 01030200057847 to %1").arg(2 * i - 1);
            }
            row(qPrintable(QStringLiteral("kept apart at %1").arg(settings)), settings,
                script.join(u';'), frames, "10 10 0 0 0", true);
        }
    }
    void bus()
    {
        QFETCH(QString, settings);
        QFETCH(QString, script);
        QFETCH(QStringList, frames);
        QFETCH(bool, jsonOnOutput);
        QList<LineStep> steps;
        for (const QString &step : script.split(u';')) {
            const QStringList words = step.trimmed().split(u' ');
            LineStep played{QByteArray::fromHex(words[0].toLatin1()),
                            std::chrono::microseconds(words[1].toLongLong())};
            played.byteByByte = words.value(2) == u"bytes";
            if (words.size() > 3) {
                played.pause = std::chrono::microseconds(words[3].section(u'@', 0, 0).toLongLong());
                played.pauseBefore = words[3].section(u'@', 1).toInt();
            }
            steps << played;
        }
        const int baud = settings.section(u',', 0, 0).toInt();
        const speed_t speed = baud == 9600 ? B9600 : baud == 19200 ? B19200 : B115200;
        // A bus played later than the rows allow for (a frame parted for
        // longer than an adapter holds bytes back, a reply past the time-out)
        // is not the bus of the row: it is played again, on a new line.
        ProgramEnded ended;
        for (int attempt = 1;; ++attempt) {
            PtyPair pty;
            QVERIFY(pty.isValid());
            Monitor monitor({pty.slavePath(), QStringLiteral("--serial-settings"), settings,
                             QStringLiteral("--timeout"), QStringLiteral("100"),
                             QStringLiteral("--frames"), QString::number(frames.size()),
                             QStringLiteral("--json"), jsonOnOutput ? u"-"_qs : path("frames.json"),
                             QStringLiteral("--pcap"), path("frames.pcap")});
            QTRY_VERIFY_WITH_TIMEOUT(lineIsSet(pty, speed), 20000);
            ScriptedLine line(pty, baud, steps);
            line.start();
            ended = monitor.finish();
            line.wait();
            if (line.latest() < 15ms)
                break;
            if (attempt == 5)
                QSKIP("the machine was too busy to play the bus in time, five times over");
            qInfo("the bus was played %lld us late; again", qlonglong(line.latest().count()));
        }
        QCOMPARE(ended.status, 0);

        QList<QJsonObject> objects =
            jsonLines(jsonOnOutput ? ended.out : readFile(path("frames.json")));
        QCOMPARE(objects.size(), frames.size() + 1);
        const QJsonObject summary = objects.takeLast()[u"summary"].toObject();
        const bool joined = !frames.filter(QStringLiteral(" split")).isEmpty();
        QStringList seen;
        for (const QJsonObject &frame : objects)
            seen << described(frame, joined);
        QCOMPARE(seen, frames);
        // The summary counts the frames its records mark, however the load
        // made them come.
        for (const char *mark : {"split", "joined"}) {
            const auto marked =
                std::count_if(objects.begin(), objects.end(), [mark](const auto &f) {
                    return f[QLatin1StringView(mark)].toBool();
                });
            QCOMPARE(summary[QLatin1StringView(mark)].toInt(), int(marked));
        }
        if (joined)
            QCOMPARE(summary[u"split"].toInt(), frames.size());
        QVERIFY(objects[0][u"gap_us"].isNull());
        const QString counts = QStringLiteral("%1 %2 %3 %4 %5")
                                   .arg(summary[u"requests"].toInt())
                                   .arg(summary[u"replies"].toInt())
                                   .arg(summary[u"unanswered"].toInt())
                                   .arg(summary[u"exceptions"].toInt())
                                   .arg(summary[u"crc_errors"].toInt());
        QTEST(counts, "counts");
        // A reply's response time is the silence the bus kept, less however
        // late the monitor was woken for the request: positive, within the
        // time-out.
        for (const QJsonObject &frame : objects) {
            if (frame.contains(u"response_us"))
                QVERIFY2(frame[u"response_us"].toInt() >= 0 &&
                             frame[u"response_us"].toInt() <= 100000,
                         qPrintable(described(frame)));
        }
        // Standard output: one line a frame and one a request unanswered when
        // its time-out passed, then the summary, in text or JSON.
        const QStringList text = QString::fromUtf8(ended.out).split(u'\n', Qt::SkipEmptyParts);
        const qsizetype unanswered = jsonOnOutput ? 0 : summary[u"unanswered"].toInt();
        QCOMPARE(text.size(), frames.size() + unanswered + 1);
        QCOMPARE(text.filter(QStringLiteral(" unanswered after 100.000 ms")).size(), unanswered);
        if (!jsonOnOutput)
            QVERIFY(text.last().startsWith(QStringLiteral("-- %1 frames").arg(frames.size())));
        const auto records = pcapFrames(readFile(path("frames.pcap")));
        QVERIFY(records);
        QCOMPARE(records->size(), frames.size());
        for (qsizetype i = 0; i < frames.size(); ++i)
            QCOMPARE(QString::fromLatin1(records->at(i).toHex().toUpper()),
                     objects[i][u"bytes"].toString());

        // tshark decodes every record of the capture as Modbus RTU, with the
        // function code and CRC verdict the monitor gave.
        const QString tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
        if (tshark.isEmpty())
            QSKIP("the rest passed; tshark is not installed (scripts/deps.sh --test installs it)");
        QProcess reader;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_folder.path()); // no user preferences
        reader.setProcessEnvironment(env);
        reader.start(
            tshark,
            {QStringLiteral("-r"), path("frames.pcap"), QStringLiteral("-o"),
             QStringLiteral("uat:user_dlts:\"User 0 (DLT=147)\",\"mbrtu\",\"0\",\"\",\"0\",\"\""),
             QStringLiteral("-o"), QStringLiteral("mbrtu.crc_verification:TRUE"),
             QStringLiteral("-T"), QStringLiteral("fields"), QStringLiteral("-e"),
             QStringLiteral("modbus.func_code"), QStringLiteral("-e"),
             QStringLiteral("mbrtu.crc16.status")});
        QVERIFY(reader.waitForFinished(120000));
        QCOMPARE(reader.exitCode(), 0);
        const QStringList rows =
            QString::fromUtf8(reader.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), objects.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QStringList fields = rows[i].split(u'\t');
            const QString bytes = objects[i][u"bytes"].toString();
            if (bytes.startsWith(u"00"))
                continue; // Wireshark leaves a broadcast undecoded
            // An exception reply's function code without its high bit.
            QCOMPARE(fields.value(0).toInt(), bytes.mid(2, 2).toInt(nullptr, 16) & 0x7F);
            // Wireshark's verdicts: 1 good, 0 bad (2 unverified).
            QCOMPARE(fields.value(1), objects[i][u"crc_ok"].toBool() ? u"1"_qs : u"0"_qs);
        }
    }

    // As the watch begins, one line on standard error says what is watched,
    // before any frame has come; --quiet leaves out the text line a frame,
    // not the summary nor the JSON records.
    void startLineAndQuiet_data()
    {
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<int>("textLines");
        QTest::newRow("a line a frame") << false << 3;
        QTest::newRow("quiet: the summary alone") << true << 1;
    }
    void startLineAndQuiet()
    {
        QFETCH(bool, quiet);
        PtyPair pty;
        QVERIFY(pty.isValid());
        QStringList args{pty.slavePath(), QStringLiteral("--frames"), QStringLiteral("2"),
                         QStringLiteral("--json"), path("q.json")};
        if (quiet)
            args << QStringLiteral("--quiet");
        Monitor monitor(args);
        const QString startLine = QStringLiteral("tallowick-monitor: listening on %1, 9600,n,8,1, "
                                                 "gap 3.646 ms, time-out 1000 ms\n")
                                      .arg(pty.slavePath());
        QProcess &process = monitor.process();
        process.setReadChannel(QProcess::StandardError);
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(process.peek(4096)), startLine, 20000);
        ScriptedLine line(
            pty, 9600,
            {LineStep{hex("010300000001840A"), 5000us}, LineStep{hex("01030200057847"), 0us}});
        line.start();
        const ProgramEnded ended = monitor.finish();
        QCOMPARE(ended.status, 0);
        QCOMPARE(ended.errors, startLine);
        const QStringList text = QString::fromUtf8(ended.out).split(u'\n', Qt::SkipEmptyParts);
        QTEST(int(text.size()), "textLines");
        QVERIFY2(text.last().startsWith(
                     QStringLiteral("-- 2 frames, 0 CRC errors, 1 requests, 1 replies")),
                 qPrintable(text.last()));
        QCOMPARE(jsonLines(readFile(path("q.json"))).size(), 3);
    }

    // A real slave (libmodbus) on a pty of its own, the test its master: the
    // bytes of both directions are copied to the monitor's line as they pass.
    void realSlave()
    {
        SlavePeer slave(QStringLiteral("pty"));
        QVERIFY(slave.isRunning());
        const int device = ::open(QFile::encodeName(slave.where()).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(device >= 0);
        termios raw{};
        ::tcgetattr(device, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(device, TCSANOW, &raw);
        PtyPair pty;
        Monitor monitor({pty.slavePath(), QStringLiteral("--frames"), QStringLiteral("6"),
                         QStringLiteral("--json"), QStringLiteral("-")});
        QTRY_VERIFY_WITH_TIMEOUT(lineIsSet(pty, B9600), 20000);
        // Holding register 0 (5), a write of 7 to register 1 (echoed), and
        // register 100, which the slave does not have (exception 02).
        const QByteArray requests[] = {hex("010300000001840A"), hex("01060001000799C8"),
                                       hex("010300640001C5D5")};
        for (const QByteArray &request : requests) {
            QCOMPARE(::write(device, request.constData(), size_t(request.size())),
                     ssize_t(request.size()));
            pty.write(request);
            QByteArray reply;
            char buffer[256];
            for (pollfd p{device, POLLIN, 0}; ::poll(&p, 1, 5000) > 0;) {
                const ssize_t n = ::read(device, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                reply.append(buffer, n);
                if ((reply.size() >= 5 && (quint8(reply[1]) & 0x80)) ||
                    (reply.size() >= 3 && reply[1] == 0x03 &&
                     reply.size() == 5 + quint8(reply[2])) ||
                    (reply.size() == 8 && reply[1] == 0x06))
                    break;
            }
            // Whatever silence the next request leaves, the CRCs part them.
            pty.write(reply);
        }
        ::close(device);
        const ProgramEnded ended = monitor.finish();
        QCOMPARE(ended.status, 0);
        QList<QJsonObject> objects = jsonLines(ended.out);
        QCOMPARE(objects.size(), 7);
        objects.removeLast();
        QStringList seen;
        for (const QJsonObject &frame : objects)
            seen << described(frame, false);
        QCOMPARE(seen, (QStringList{"request 010300000001840A", "reply 01030200057847 to 1",
                                    "request 01060001000799C8", "reply 01060001000799C8 to 3",
                                    "request 010300640001C5D5", "reply 018302C0F1 to 5 ex 2"}));
    }

    // A watch ended before its count, by SIGINT mid-frame (130) or by the
    // adapter pulled (1, with a message): the files are whole. SIGTERM takes
    // the way of SIGINT, with its own number.
    void endedEarly_data()
    {
        QTest::addColumn<bool>("pulled");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("SIGINT mid-stream") << false << 130 << QString();
        QTest::newRow("port pulled") << true << 1 << QStringLiteral("went away");
    }
    void endedEarly()
    {
        QFETCH(bool, pulled);
        // The file of the row before would show a frame this watch never saw.
        QFile::remove(path("e.json"));
        PtyPair pty;
        Monitor monitor({pty.slavePath(), QStringLiteral("--json"), path("e.json"),
                         QStringLiteral("--pcap"), path("e.pcap")});
        QTRY_VERIFY_WITH_TIMEOUT(lineIsSet(pty, B9600), 20000);
        pty.write(hex("010300000001840A"));
        QTRY_VERIFY_WITH_TIMEOUT(readFile(path("e.json")).contains("\"n\":1"), 20000);
        if (pulled) {
            pty.hangUp();
        } else {
            pty.write(hex("0103020005")); // the end of the watch cuts this one short
            ::kill(pid_t(monitor.pid()), SIGINT);
        }
        const ProgramEnded ended = monitor.finish();
        QTEST(ended.status, "status");
        QFETCH(QString, error);
        QVERIFY2(ended.errors.contains(error), qPrintable(ended.errors));
        const QList<QJsonObject> objects = jsonLines(readFile(path("e.json")));
        QVERIFY(objects.size() >= 2);
        const int frames = objects.last()[u"summary"].toObject()[u"frames"].toInt();
        QCOMPARE(objects.size(), frames + 1);
        const auto records = pcapFrames(readFile(path("e.pcap")));
        QVERIFY(records);
        QCOMPARE(records->size(), frames);
    }

    // Every output checked: a full device (a node of the test's own, never
    // the system's), standard output's reader gone (| head -1), standard
    // output holding the JSON lines alone. The bus keeps a request and its
    // reply coming until the monitor ends.
    void outputs_data()
    {
        QTest::addColumn<QStringList>("args"); // %dir: the test's folder
        // A file, "head", "2>FILE" (standard error to it) or empty.
        QTest::addColumn<QString>("stdoutTo");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // on standard error
        const QString full = QStringLiteral("cannot write %1: No space left on device");
        // The first frame is also the last: the failure is met in closing.
        QTest::newRow("--json to a full device")
            << QStringList{"--json", "%dir/full", "--pcap", "%dir/o.pcap", "--frames", "1"} << ""
            << 3 << full.arg("%dir/full");
        QTest::newRow("--pcap to a full device")
            << QStringList{"--pcap", "%dir/full", "--json", "%dir/o.json"} << "" << 3
            << full.arg("%dir/full");
        QTest::newRow("standard output to a full device")
            << QStringList{"--json", "%dir/o.json", "--pcap", "%dir/o.pcap"} << "%dir/full" << 3
            << full.arg("standard output");
        // The start line cannot be written: what was lost is not a success.
        QTest::newRow("standard error to a full device")
            << QStringList{"--json", "%dir/o.json", "--pcap", "%dir/o.pcap", "--frames", "2"}
            << "2>%dir/full" << 3 << "";
        QTest::newRow("standard output closed by its reader")
            << QStringList{"--json", "%dir/o.json", "--pcap", "%dir/o.pcap"} << "head" << 141 << "";
        QTest::newRow("--json - and the text on standard error")
            << QStringList{"--json", "-", "--pcap", "%dir/o.pcap", "--frames", "4"} << "" << 0
            << "reply  0103020005 7847";
        QTest::newRow("--pcap - and the text on standard error")
            << QStringList{"--pcap", "-", "--json", "%dir/o.json", "--frames", "4"} << "" << 0
            << "reply  0103020005 7847";
    }
    void outputs()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, stdoutTo);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const auto at = [&dir](QString text) {
            return text.replace(QStringLiteral("%dir"), dir.path());
        };
        if (!makeMemoryDevices(dir.path()))
            QSKIP("making device nodes is not allowed here (it needs root)");
        PtyPair pty;
        args.replaceInStrings(QStringLiteral("%dir"), dir.path());
        QProcess head;
        Monitor monitor(args << pty.slavePath(), [&](QProcess &process) {
            if (stdoutTo == u"head")
                process.setStandardOutputProcess(&head);
            else if (stdoutTo.startsWith(u"2>"))
                process.setStandardErrorFile(at(stdoutTo.sliced(2)));
            else if (!stdoutTo.isEmpty())
                process.setStandardOutputFile(at(stdoutTo));
        });
        if (stdoutTo == u"head")
            head.start(QStringLiteral("head"), {QStringLiteral("-n"), QStringLiteral("1")});
        QTRY_VERIFY_WITH_TIMEOUT(lineIsSet(pty, B9600), 20000);
        QTimer bus;
        connect(&bus, &QTimer::timeout, this, [&pty] { pty.write(hex("010300000001840A")); });
        connect(&bus, &QTimer::timeout, this, [&pty] { pty.write(hex("01030200057847")); });
        bus.start(50);
        const ProgramEnded ended = monitor.finish();
        bus.stop();
        QTEST(ended.status, "status");
        if (error.isEmpty())
            QVERIFY2(!ended.errors.contains(u"cannot write"), qPrintable(ended.errors));
        else
            QVERIFY2(ended.errors.contains(at(error)), qPrintable(ended.errors));
        // The other files are whole: the JSON ends in its summary, the
        // capture holds as many frames as the summary counts.
        const QByteArray json =
            args.contains(QStringLiteral("-")) && ended.out.startsWith('{')
                ? ended.out
                : (QFile::exists(at("%dir/o.json")) ? readFile(at("%dir/o.json")) : QByteArray());
        const QList<QJsonObject> objects = jsonLines(json);
        if (!json.isEmpty()) {
            QVERIFY(json.endsWith("}}\n"));
            QCOMPARE(objects.size(), objects.last()[u"summary"].toObject()[u"frames"].toInt() + 1);
        }
        const bool pcapOut = args.contains(QStringLiteral("-")) && !ended.out.startsWith('{');
        if (QFile::exists(at("%dir/o.pcap")) || pcapOut) {
            // Standard output a capture from its first byte to its last.
            const auto records = pcapFrames(pcapOut ? ended.out : readFile(at("%dir/o.pcap")));
            QVERIFY(records);
            if (!objects.isEmpty())
                QCOMPARE(records->size(), objects.size() - 1);
        }
        QVERIFY(isMemoryDevice(at("%dir/full"), QStringLiteral("full")));
    }

    // Refused: a message on standard error, exit 2, no file made.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("no such device") << QStringList{"/dev/tallowick-no-such-port"}
                                        << "cannot open /dev/tallowick-no-such-port";
        QTest::newRow("not a serial port") << QStringList{"/dev/null"} << "not a serial port";
        QTest::newRow("bad option") << QStringList{"--frames", "x", "PTY"} << "--frames takes";
        QTest::newRow("baud no port is set to")
            << QStringList{"--serial-settings", "12345,n,8,1", "PTY"} << "not \"12345,n,8,1\"";
        QTest::newRow("a capture that cannot be written")
            << QStringList{"--pcap", "/nonexistent/x.pcap", "PTY"}
            << "cannot write /nonexistent/x.pcap";
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        PtyPair pty;
        args.replaceInStrings(QStringLiteral("PTY"), pty.slavePath());
        args << QStringLiteral("--json") << path("r.json");
        if (!args.contains(QStringLiteral("--pcap")))
            args << QStringLiteral("--pcap") << path("r.pcap");
        Monitor monitor(args);
        const ProgramEnded ended = monitor.finish();
        QCOMPARE(ended.status, 2);
        QFETCH(QString, error);
        QVERIFY2(ended.errors.contains(error), qPrintable(ended.errors));
        QVERIFY(ended.out.isEmpty());
        QVERIFY(!QFile::exists(path("r.json")));
        QVERIFY(!QFile::exists(path("r.pcap")));
    }
};

QTEST_GUILESS_MAIN(TestMonitor)
#include "tst_bus_monitor.moc"
