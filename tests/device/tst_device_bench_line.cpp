// tallowick-device against Tallowick's own master and monitor: tallowick-run
// drives it over RTU over TCP and Modbus TCP with --expect and --summary; and
// on one serial line, the runner as the master, the device as the slave and
// tallowick-monitor watching, a fault rule is seen as the same result by all
// three.
#include "support/device_process.h"
#include "support/files.h"
#include "support/peers.h"
#include "support/pty_pair.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace tallowick::test;

namespace {

// Values whose bytes the Modbus application protocol fixes: 1.5 as an IEEE
// float is 3FC00000, -2 as a 16-bit integer FFFE.
constexpr char mapText[] = "table,address,type,value,access\n"
                           "holding,0,u16,5,rw\n"
                           "holding,1,u16,0x1234,rw\n"
                           "holding,10,f32,1.5,rw\n"
                           "holding,20,u16,7,r\n"
                           "input,0,i16,-2,r\n";

QList<QJsonObject> jsonLines(const QByteArray &bytes)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : bytes.split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (!object.isEmpty() && !object.contains(u"summary"))
            objects << object;
    }
    return objects;
}

QStringList field(const QList<QJsonObject> &records, const char *key)
{
    QStringList values;
    for (const QJsonObject &record : records) {
        const QJsonValue value = record[QLatin1String(key)];
        values << (value.isBool()
                       ? (value.toBool() ? QStringLiteral("true") : QStringLiteral("false"))
                       : value.toString().toUpper());
    }
    return values;
}

// The runner's --summary table: the "total" row's cells by the header's names.
QMap<QString, QString> summaryTotal(const QByteArray &out)
{
    QStringList header;
    QMap<QString, QString> total;
    for (const QByteArray &line : out.split('\n')) {
        const QStringList cells = QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
        if (cells.value(0) == u"line" && cells.value(1) == u"exchanges")
            header = cells;
        else if (cells.value(0) == u"total" && !header.isEmpty()) {
            for (qsizetype i = 0; i < header.size() && i < cells.size(); ++i)
                total[header[i]] = cells[i];
        }
    }
    return total;
}

// Copies every byte between the master sides of two pty pairs, the runner on
// one and the device on the other, and each byte as it passes to a third,
// where the monitor reads both directions as one bus. A thread of its own
// keeps the bytes' timing whatever the test's event loop is doing.
class Relay
{
public:
    Relay(PtyPair &master, PtyPair &slave, PtyPair &bus)
        : m_thread([&] { run(master, slave, bus); })
    {
    }
    ~Relay()
    {
        m_stop = true;
        m_thread.join();
    }
    Relay(const Relay &) = delete;
    Relay &operator=(const Relay &) = delete;

private:
    void run(PtyPair &master, PtyPair &slave, PtyPair &bus)
    {
        pollfd fds[] = {{master.masterFd(), POLLIN, 0}, {slave.masterFd(), POLLIN, 0}};
        PtyPair *to[] = {&slave, &master};
        while (!m_stop) {
            if (::poll(fds, 2, 20) <= 0)
                continue;
            for (int i = 0; i < 2; ++i) {
                char buffer[512];
                // A side no program holds open reads as EIO: nothing came.
                const ssize_t n =
                    (fds[i].revents & POLLIN) ? ::read(fds[i].fd, buffer, sizeof buffer) : 0;
                if (n > 0) {
                    to[i]->write(QByteArray(buffer, n));
                    bus.write(QByteArray(buffer, n));
                }
            }
            // While one side is closed its master reads as hung up: wait
            // for the program to open it again rather than spin.
            if ((fds[0].revents | fds[1].revents) & POLLHUP)
                ::usleep(1000);
        }
    }

    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool lineIsSet(const PtyPair &pty, speed_t speed)
{
    termios tio{};
    return ::tcgetattr(pty.masterFd(), &tio) == 0 && ::cfgetispeed(&tio) == speed;
}

} // namespace

class tst_DeviceBenchLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_folder.isValid()); }

    // Reads of each type, a write read back, an exception for a read-only
    // register and for an unknown function, in two passes: every reply as the
    // runner's --expect says, counted so in its --summary and in the
    // device's records.
    void runnerExpectsOverTcp_data()
    {
        QTest::addColumn<QString>("deviceLink");
        QTest::addColumn<QStringList>("runnerLink");
        QTest::newRow("RTU over TCP") << "tcp" << QStringList{};
        QTest::newRow("Modbus TCP") << "mbap" << QStringList{QStringLiteral("--mbap")};
    }
    void runnerExpectsOverTcp()
    {
        QFETCH(QString, deviceLink);
        QFETCH(QStringList, runnerLink);
        const QString map = writeMap();
        const QString deviceJson = m_folder.filePath(deviceLink + QStringLiteral("-device.jsonl"));
        const QString runnerJson = m_folder.filePath(deviceLink + QStringLiteral("-run.jsonl"));
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--") + deviceLink, QStringLiteral("0"),
                              QStringLiteral("--json"), deviceJson, QStringLiteral("--requests"),
                              QStringLiteral("12"), map});
        QVERIFY2(device.waitServing(), qPrintable(device.errors()));
        const quint16 port = device.port(deviceLink);
        QVERIFY(port > 0);

        // Lines, then what each reply must be (without a CRC).
        const QStringList lines{"1=010300000002", "2=0106000AABCD", "3=0103000A0002",
                                "4=010400000001", "5=010600140001", "6=014100000001"};
        const QStringList expect{"1=01030400051234", "2=0106000AABCD", "3=010304ABCD0000",
                                 "4=010402FFFE",     "5=exception:02", "6=exception:01"};
        QStringList args = runnerLink;
        args << QStringLiteral("--tcp") << QStringLiteral("127.0.0.1:%1").arg(port);
        for (const QString &line : lines)
            args << QStringLiteral("--line") << line;
        for (const QString &pattern : expect)
            args << QStringLiteral("--expect") << pattern;
        args << QStringLiteral("--lines") << QStringLiteral("1-6") << QStringLiteral("--passes")
             << QStringLiteral("2") << QStringLiteral("--pause") << QStringLiteral("1")
             << QStringLiteral("--timeout") << QStringLiteral("2000")
             << QStringLiteral("--keep-link") << QStringLiteral("--summary")
             << QStringLiteral("--json") << runnerJson;
        ProgramProcess runner(QStringLiteral(TALLOWICK_RUN), args);
        const ProgramEnded ran = runner.finish();
        QVERIFY2(ran.status == 0, qPrintable(ran.errors + QString::fromUtf8(ran.out)));
        const QMap<QString, QString> total = summaryTotal(ran.out);
        QCOMPARE(total.value(QStringLiteral("exchanges")), QStringLiteral("12"));
        QCOMPARE(total.value(QStringLiteral("ok")), QStringLiteral("12"));

        // The device ends by --requests once it has answered the twelfth.
        const ProgramEnded served = device.finish();
        QVERIFY2(served.status == 0, qPrintable(device.errors() + served.errors));
        const QList<QJsonObject> records = jsonLines(readFile(deviceJson));
        const QStringList results = field(records, "result");
        QCOMPARE(results.count(QStringLiteral("ANSWERED")), 8);
        QCOMPARE(results.count(QStringLiteral("EXCEPTION")), 4);
        QVERIFY(records.value(0)[u"link"].toString().startsWith(deviceLink + u' '));
        QVERIFY(records.value(0)[u"peer"].toString().startsWith(u"127.0.0.1:"));
        // The runner's replies are the device's, byte for byte (over Modbus
        // TCP one of them may hold the MBAP header too).
        const QStringList replies = field(jsonLines(readFile(runnerJson)), "reply");
        const QStringList sent = field(records, "reply");
        QCOMPARE(replies.size(), 12);
        QCOMPARE(sent.size(), 12);
        for (qsizetype i = 0; i < replies.size(); ++i)
            QVERIFY2(sent[i].endsWith(replies[i]) || replies[i].endsWith(sent[i]),
                     qPrintable(replies[i] + u' ' + sent[i]));
    }

    // The runner on one pty pair, the device on another, the test relaying
    // between them and feeding both directions to the monitor's pty. Every
    // second reply goes out with a wrong CRC by rule: the runner counts it
    // wrong-crc, the monitor marks it crc_ok false, the device names the rule.
    void faultSeenAlikeOnOneLine()
    {
        PtyPair runnerSide, deviceSide, bus;
        QVERIFY(runnerSide.isValid() && deviceSide.isValid() && bus.isValid());
        const QString settings = QStringLiteral("9600,n,8,1");
        const QString deviceJson = m_folder.filePath(QStringLiteral("line-device.jsonl"));
        const QString runnerJson = m_folder.filePath(QStringLiteral("line-run.jsonl"));
        const QString monitorJson = m_folder.filePath(QStringLiteral("line-monitor.jsonl"));

        ProgramProcess monitor(QStringLiteral(TALLOWICK_MONITOR),
                               {bus.slavePath(), QStringLiteral("--serial-settings"), settings,
                                QStringLiteral("--frames"), QStringLiteral("8"),
                                QStringLiteral("--json"), monitorJson});
        QTRY_VERIFY_WITH_TIMEOUT(lineIsSet(bus, B9600), 20000);
        // The delay keeps the device's reply clear of the end of the request
        // as the monitor sees it, through the relay's own wake-ups.
        DeviceProcess device(QStringLiteral(TALLOWICK_DEVICE),
                             {QStringLiteral("--serial"), deviceSide.slavePath(),
                              QStringLiteral("--serial-settings"), settings,
                              QStringLiteral("--delay"), QStringLiteral("10"),
                              QStringLiteral("--fault"), QStringLiteral("crc@every=2"),
                              QStringLiteral("--json"), deviceJson, QStringLiteral("--requests"),
                              QStringLiteral("4"), writeMap()});
        QVERIFY2(device.waitServing(), qPrintable(device.errors()));
        const Relay relay(runnerSide, deviceSide, bus);

        ProgramProcess runner(QStringLiteral(TALLOWICK_RUN), {QStringLiteral("--serial"),
                                                              runnerSide.slavePath(),
                                                              QStringLiteral("--serial-settings"),
                                                              settings,
                                                              QStringLiteral("--line"),
                                                              QStringLiteral("1=010300000001"),
                                                              QStringLiteral("--expect"),
                                                              QStringLiteral("1=0103020005"),
                                                              QStringLiteral("--lines"),
                                                              QStringLiteral("1-1"),
                                                              QStringLiteral("--passes"),
                                                              QStringLiteral("4"),
                                                              QStringLiteral("--pause"),
                                                              QStringLiteral("50"),
                                                              QStringLiteral("--timeout"),
                                                              QStringLiteral("1000"),
                                                              QStringLiteral("--keep-link"),
                                                              QStringLiteral("--keep-going"),
                                                              QStringLiteral("--summary"),
                                                              QStringLiteral("--json"),
                                                              runnerJson});
        const ProgramEnded ran = runner.finish();
        QVERIFY2(ran.status == 1, qPrintable(ran.errors + QString::fromUtf8(ran.out)));
        const QMap<QString, QString> total = summaryTotal(ran.out);
        QCOMPARE(total.value(QStringLiteral("ok")), QStringLiteral("2"));
        QCOMPARE(total.value(QStringLiteral("wrong-crc")), QStringLiteral("2"));
        QCOMPARE(device.finish().status, 0);
        QCOMPARE(monitor.finish().status, 0);

        const QList<QJsonObject> ranRecords = jsonLines(readFile(runnerJson));
        QCOMPARE(field(ranRecords, "result"), QStringList({"OK", "WRONG-CRC", "OK", "WRONG-CRC"}));
        const QList<QJsonObject> served = jsonLines(readFile(deviceJson));
        QCOMPARE(served.size(), 4);
        for (qsizetype i = 0; i < served.size(); ++i)
            QCOMPARE(served[i][u"fault"].isNull(), i % 2 == 0);
        // The monitor saw the same bytes go each way, in turn, and judged
        // the replies' CRCs as the runner did.
        QStringList exchanged;
        for (qsizetype i = 0; i < ranRecords.size(); ++i) {
            exchanged << ranRecords[i][u"request"].toString().toUpper()
                      << ranRecords[i][u"reply"].toString().toUpper();
            QCOMPARE(served[i][u"reply"].toString().toUpper(), exchanged.last());
        }
        const QList<QJsonObject> frames = jsonLines(readFile(monitorJson));
        QCOMPARE(field(frames, "bytes"), exchanged);
        QCOMPARE(field(frames, "crc_ok"),
                 QStringList({"true", "true", "true", "false", "true", "true", "true", "false"}));
    }

private:
    QString writeMap()
    {
        const QString path = m_folder.filePath(QStringLiteral("map.csv"));
        writeFile(path, mapText);
        return path;
    }

    QTemporaryDir m_folder;
};

QTEST_GUILESS_MAIN(tst_DeviceBenchLine)
#include "tst_device_bench_line.moc"
