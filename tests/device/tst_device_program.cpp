// tallowick-device as a program: what it refuses before it listens, many
// clients at once on Modbus TCP, requests cut by the silence of a line,
// its records, --save, and its end by a signal or a full disk.
#include "support/device_process.h"
#include "support/pty_pair.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace tallowick::test;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return file.fileName();
}

const QByteArray mapCsv = "table,address,type,value\nholding,0-9,u16,7\n";

bool connectTo(QTcpSocket &socket, quint16 port)
{
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(10000);
}

// Reads until `bytes` have come or the wait ends.
QByteArray readExactly(QTcpSocket &socket, qsizetype bytes)
{
    QByteArray got;
    while (got.size() < bytes && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(10000)))
        got += socket.read(bytes - got.size());
    return got;
}

QList<QJsonObject> jsonLines(const QByteArray &text)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return {};
        objects += document.object();
    }
    return objects;
}

} // namespace

class TestDeviceProgram : public QObject
{
    Q_OBJECT
private slots:
    // Each refusal names what it refuses and why, with exit status 2.
    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("no link") << QStringList{"MAP"} << "nowhere to answer";
        QTest::newRow("bad row") << QStringList{"--mbap", "0", "BAD"} << "bad.csv:2: type";
        QTest::newRow("bad rule") << QStringList{"--mbap", "0", "--fault", "crc@evry=2", "MAP"}
                                  << "--fault \"crc@evry=2\": \"evry\" is not a condition";
        QTest::newRow("unit 0") << QStringList{"--mbap", "0", "--unit", "0", "MAP"} << "--unit";
        QTest::newRow("port absent")
            << QStringList{"--serial", "/nonexistent/ttyUSB9", "MAP"}
            << "cannot open /nonexistent/ttyUSB9: No such file or directory";
        QTest::newRow("not a serial port")
            << QStringList{"--serial", "/dev/null", "MAP"} << "/dev/null: not a serial port";
        QTest::newRow("records cannot be created")
            << QStringList{"--mbap", "0", "--json", "/nonexistent/r.jsonl", "MAP"}
            << "cannot write /nonexistent/r.jsonl: No such file or directory";
        QTest::newRow("save cannot be created")
            << QStringList{"--mbap", "0", "--save", "/nonexistent/s.csv", "MAP"}
            << "cannot write /nonexistent/s.csv";
        QTest::newRow("port busy") << QStringList{"--tcp", "0", "--mbap", "BUSY", "MAP"}
                                   << "cannot listen on 127.0.0.1:BUSY";
    }
    void refused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QTcpServer busy;
        QVERIFY(busy.listen(QHostAddress::LocalHost));
        const QString busyPort = QString::number(busy.serverPort());
        for (QString &arg : args) {
            if (arg == u"MAP")
                arg = writeFile(dir, QStringLiteral("map.csv"), mapCsv);
            else if (arg == u"BAD")
                arg = writeFile(dir, QStringLiteral("bad.csv"),
                                "table,address,type,value\nholding,0,f16,1\n");
            else if (arg == u"BUSY")
                arg = busyPort;
        }
        message.replace(QStringLiteral("BUSY"), busyPort);
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE), args);
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 2);
        QVERIFY2((device.errors() + ended.errors).contains(message),
                 qPrintable((device.errors() + ended.errors)));
        QVERIFY(!(device.errors() + ended.errors).contains(u"serving"));
    }

    // A silent client and one that sent half a frame hold up nobody; two
    // requests in one write get two replies in order.
    void manyClients()
    {
        QTemporaryDir dir;
        const QString json = dir.filePath(QStringLiteral("r.jsonl"));
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--mbap"), QStringLiteral("0"),
                              QStringLiteral("--json"), json,
                              writeFile(dir, QStringLiteral("map.csv"), mapCsv)});
        QVERIFY(device.waitServing());
        const quint16 port = device.port(QStringLiteral("mbap"));
        QTcpSocket silent, half, twice, once;
        for (QTcpSocket *socket : {&silent, &half, &twice, &once})
            QVERIFY(connectTo(*socket, port));
        half.write(QByteArray::fromHex("0009000000060103"));
        QVERIFY(half.waitForBytesWritten(10000));
        twice.write(QByteArray::fromHex("000100000006010300000001"
                                        "000200000006010300010002"));
        once.write(QByteArray::fromHex("000300000006010300090001"));
        QCOMPARE(readExactly(twice, 11 + 13).toHex().toUpper(),
                 QByteArray("0001000000050103020007"
                            "00020000000701030400070007"));
        QCOMPARE(readExactly(once, 11).toHex().toUpper(), QByteArray("0003000000050103020007"));
        ::kill(pid_t(device.pid()), SIGTERM);
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 143);
        QFile records(json);
        QVERIFY(records.open(QIODevice::ReadOnly));
        const QList<QJsonObject> lines = jsonLines(records.readAll());
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.last().value(u"summary").toObject().value(u"requests").toInt(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(lines[i].value(u"result").toString(), QStringLiteral("answered"));
    }

    // At 300,e,8,1 a character is 36.667 ms and t3.5 128.334 ms: a pause of
    // a few inside a request keeps it one, a pause of half a second ends it.
    // The reply never comes before t3.5 and a character have passed since the
    // request's last byte. --json - leaves standard output to the records.
    void requestsCutBySilence()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QTemporaryDir dir;
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--serial"), pty.slavePath(),
                              QStringLiteral("--serial-settings"), QStringLiteral("300,e,8,1"),
                              QStringLiteral("--requests"), QStringLiteral("2"),
                              QStringLiteral("--json"), QStringLiteral("-"),
                              writeFile(dir, QStringLiteral("map.csv"), mapCsv)});
        QVERIFY(device.waitServing());
        const QByteArray request = QByteArray::fromHex("010300000002C40B");
        pty.write(request.first(3));
        QTest::qSleep(5);
        pty.write(request.sliced(3));
        QCOMPARE(pty.read(10000, 500).toHex().toUpper(), QByteArray("010304000700070A30"));
        pty.write(request);
        QCOMPARE(pty.read(10000, 500).toHex().toUpper(), QByteArray("010304000700070A30"));
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 0);
        const QList<QJsonObject> lines = jsonLines(ended.out);
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(lines[i].value(u"request").toString(), QStringLiteral("010300000002C40B"));
            QCOMPARE(lines[i].value(u"result").toString(), QStringLiteral("answered"));
            QVERIFY(lines[i].value(u"response_us").toInteger() >= 128'334 + 36'667);
        }
    }

    // The values a master wrote are in --save after SIGINT, and the records
    // end in their summary.
    void savedOnSignal()
    {
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("saved.csv"));
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--mbap"), QStringLiteral("0"),
                              QStringLiteral("--save"), saved,
                              writeFile(dir, QStringLiteral("map.csv"), mapCsv)});
        QVERIFY(device.waitServing());
        QTcpSocket master;
        QVERIFY(connectTo(master, device.port(QStringLiteral("mbap"))));
        master.write(QByteArray::fromHex("00010000000601060003002A"));
        QCOMPARE(readExactly(master, 12).toHex().toUpper(), QByteArray("00010000000601060003002A"));
        ::kill(pid_t(device.pid()), SIGINT);
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 130);
        QVERIFY(ended.out.contains("\n-- 1 requests: 1 answered"));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray csv = file.readAll();
        QVERIFY2(csv.contains("holding,3,u16,42,"), csv.constData());
        QVERIFY2(csv.contains("holding,4,u16,7,"), csv.constData());
    }

    // A recorded device answers as it was recorded, its replies to a request
    // in turn, on the line byte for byte and on Modbus TCP by unit and PDU;
    // without a map, what it was never asked goes unanswered.
    void replay()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--serial"), pty.slavePath(), QStringLiteral("--mbap"),
                              QStringLiteral("0"), QStringLiteral("--replay"),
                              QStringLiteral(TALLOWICK_REPLAY_FIXTURE),
                              QStringLiteral("--requests"), QStringLiteral("5"),
                              QStringLiteral("--json"), QStringLiteral("-"), QStringLiteral("-")});
        QVERIFY(device.waitServing());
        const QByteArray read = QByteArray::fromHex("010300000002C40B");
        for (const char *recorded :
             {"01030400050000EA32", "01030400050007ABF0", "01030400050007ABF0"}) {
            pty.write(read);
            QCOMPARE(pty.read(10000, 200).toHex().toUpper(), QByteArray(recorded));
        }
        pty.write(QByteArray::fromHex("010300C8000105F4"));
        QCOMPARE(pty.read(500, 100), QByteArray());
        QTcpSocket master;
        QVERIFY(connectTo(master, device.port(QStringLiteral("mbap"))));
        master.write(QByteArray::fromHex("000700000006010300000002"));
        QCOMPARE(readExactly(master, 13).toHex().toUpper(),
                 QByteArray("00070000000701030400050000"));
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 0);
        const QList<QJsonObject> lines = jsonLines(ended.out);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[3].value(u"result").toString(), QStringLiteral("unknown"));
        const QJsonObject counts =
            lines[5].value(u"summary").toObject().value(u"replay").toObject();
        QCOMPARE(counts.value(u"replayed").toInt(), 4);
        QCOMPARE(counts.value(u"unknown").toInt(), 1);
    }

    // A text line names the map's rows a request touches and spells out its
    // exception; the JSON record has the names too.
    void recordsName()
    {
        QTemporaryDir dir;
        const QString json = dir.filePath(QStringLiteral("r.jsonl"));
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--mbap"), QStringLiteral("0"),
                              QStringLiteral("--requests"), QStringLiteral("1"),
                              QStringLiteral("--json"), json,
                              writeFile(dir, QStringLiteral("map.csv"),
                                        "table,address,type,value,access,name\n"
                                        "holding,3,u16,7,r,\"limit, upper\"\n")});
        QVERIFY(device.waitServing());
        QTcpSocket master;
        QVERIFY(connectTo(master, device.port(QStringLiteral("mbap"))));
        master.write(QByteArray::fromHex("00010000000601060003002A"));
        QCOMPARE(readExactly(master, 9).size(), 9);
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 0);
        QVERIFY2(ended.out.contains("  unit 1  06 write single register 3 (limit, upper)  "
                                    "exception 02 illegal data address  000100000003018602"),
                 ended.out.constData());
        QFile records(json);
        QVERIFY(records.open(QIODevice::ReadOnly));
        QCOMPARE(jsonLines(records.readAll()).first().value(u"name").toString(),
                 QStringLiteral("limit, upper"));
    }

    // A reply still waiting when the device is stopped is recorded, unsent.
    void pendingOnSignal()
    {
        QTemporaryDir dir;
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--mbap"), QStringLiteral("0"),
                              QStringLiteral("--fault"), QStringLiteral("delay=60000@every=2"),
                              QStringLiteral("--json"), QStringLiteral("-"),
                              writeFile(dir, QStringLiteral("map.csv"), mapCsv)});
        QVERIFY(device.waitServing());
        QTcpSocket master;
        QVERIFY(connectTo(master, device.port(QStringLiteral("mbap"))));
        // The first reply tells that the device has read both requests.
        master.write(QByteArray::fromHex("000100000006010300000001"
                                         "000200000006010300000001"));
        QCOMPARE(readExactly(master, 11).size(), 11);
        ::kill(pid_t(device.pid()), SIGTERM);
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 143);
        const QList<QJsonObject> lines = jsonLines(ended.out);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1].value(u"fault").toString(), QStringLiteral("delay=60000@every=2"));
        QVERIFY(lines[1].value(u"response_us").isNull());
    }

    // The adapter pulled: the records end in their summary, exit status 1.
    void lineGone()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        QTemporaryDir dir;
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--serial"), pty.slavePath(),
                              writeFile(dir, QStringLiteral("map.csv"), mapCsv)});
        QVERIFY(device.waitServing());
        pty.hangUp();
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 1);
        QVERIFY2((device.errors() + ended.errors)
                     .contains(pty.slavePath() + QStringLiteral(" went away")),
                 qPrintable((device.errors() + ended.errors)));
        QVERIFY(ended.out.endsWith("-- 0 requests\n"));
    }

    void fullDisk()
    {
        QTemporaryDir dir;
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--mbap"), QStringLiteral("0"),
                              QStringLiteral("--json"), QStringLiteral("/dev/full"),
                              writeFile(dir, QStringLiteral("map.csv"), mapCsv)});
        QVERIFY(device.waitServing());
        QTcpSocket master;
        QVERIFY(connectTo(master, device.port(QStringLiteral("mbap"))));
        master.write(QByteArray::fromHex("000100000006010300000001"));
        // The reply recorded is the reply sent, though the record was not written.
        QCOMPARE(readExactly(master, 11).toHex().toUpper(), QByteArray("0001000000050103020007"));
        const ProgramEnded ended = device.finish();
        QCOMPARE(ended.status, 3);
        QVERIFY2(
            (device.errors() + ended.errors)
                .contains(u"tallowick-device: cannot write /dev/full: No space left on device"),
            qPrintable((device.errors() + ended.errors)));
    }
};

QTEST_GUILESS_MAIN(TestDeviceProgram)
#include "tst_device_program.moc"
