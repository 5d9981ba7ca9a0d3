// tallowick-device answering masters that are not ours: libmodbus's (the
// tests' modbus_master peer) on a pty pair, over RTU over TCP and over Modbus
// TCP, and mbpoll on Modbus TCP and on a pty.
// Every function and every exception as the masters see them, each type and
// byte order read back as libmodbus decodes it, and the values masters wrote
// in the map the device saves. The expected registers were worked out with
// Python's struct module, not with the device's encoder.
#include "support/device_process.h"
#include "support/files.h"
#include "support/peers.h"
#include "support/pty_pair.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace tallowick::test;

namespace {

// Coils 0-15 and holding 0-9 for writes; a read-only register at 10; each
// type and byte order from 20 on; discrete and input registers to read.
const QByteArray mapText = "table,address,type,value,order,access,name\n"
                           "coil,0-15,bit,0,,rw,outputs\n"
                           "discrete,0,bit,1,,r,ready\n"
                           "discrete,1,bit,0,,r,running\n"
                           "discrete,2,bit,1,,r,remote\n"
                           "holding,0-9,u16,0,,rw,scratch\n"
                           "holding,10,u16,0x1234,,r,fixed\n"
                           "holding,20,f32,1.5,ABCD,rw,\n"
                           "holding,22,f32,1.5,CDAB,rw,\n"
                           "holding,24,f32,1.5,BADC,rw,\n"
                           "holding,26,f32,1.5,DCBA,rw,\n"
                           "holding,30,u32,305419896,CDAB,rw,\n"
                           "holding,32,i32,-2,BADC,rw,\n"
                           "holding,34,i16,-2,,rw,\n"
                           "holding,40,u64,0x0102030405060708,DCBA,rw,\n"
                           "holding,44,i64,-3,CDAB,rw,\n"
                           "holding,48,f64,1.5,BADC,rw,\n"
                           "holding,60,str:4,Tallow,,rw,tag\n"
                           "input,0,u16,7,,r,\n"
                           "input,1,f32,-2.25,DCBA,r,\n";

// A device started on the map with the links given.
std::unique_ptr<DeviceProcess> startDevice(const QString &map, const QStringList &links)
{
    return std::make_unique<DeviceProcess>(QStringLiteral(TALLOWICK_DEVICE),
                                           links + QStringList{map});
}

// The libmodbus master with its commands, one result line each.
QStringList master(const QStringList &link, const QStringList &commands,
                   const std::function<void(QProcess &)> &prepare = {})
{
    QProcess peer;
    if (prepare)
        prepare(peer);
    peer.start(QStringLiteral(TALLOWICK_MODBUS_MASTER), link);
    if (!peer.waitForStarted(20000))
        return {QStringLiteral("not started")};
    peer.write(commands.join(u'\n').toUtf8() + '\n');
    peer.closeWriteChannel();
    if (!peer.waitForFinished(60000)) {
        peer.kill();
        peer.waitForFinished(5000);
        return {QStringLiteral("no end")};
    }
    QStringList lines = QString::fromUtf8(peer.readAllStandardOutput()).split(u'\n');
    lines.removeAll(QString());
    const QString errors = QString::fromUtf8(peer.readAllStandardError());
    if (!errors.isEmpty())
        lines << errors;
    return lines;
}

// The master on the pty pair's master side, handed over as descriptor 3.
QStringList masterOnPty(const PtyPair &pty, const QStringList &commands)
{
    const int fd = pty.masterFd();
    return master({QStringLiteral("fd"), QStringLiteral("3")}, commands,
                  [fd](QProcess &peer) { peer.setChildProcessModifier([fd] { ::dup2(fd, 3); }); });
}

// "tcp" (RTU frames) or "mbap" (Modbus TCP) to the device on loopback.
QStringList masterOnTcp(const char *kind, quint16 port, const QStringList &commands)
{
    return master({QLatin1String(kind), QStringLiteral("127.0.0.1"), QString::number(port)},
                  commands);
}

// A raw write of function 0F or 10 from address 0 with its count and byte
// count as given, and that many bytes of zeros: too long to write out.
QString longWrite(int function, int count, int bytes)
{
    const QString pdu = QStringLiteral("01%1%2%3%4")
                            .arg(function, 2, 16, QLatin1Char('0'))
                            .arg(QStringLiteral("0000"))
                            .arg(count, 4, 16, QLatin1Char('0'))
                            .arg(bytes, 2, 16, QLatin1Char('0'));
    return QStringLiteral("raw ") + pdu.toUpper() + QString(2 * bytes, u'0');
}

// Copies bytes both ways between the master sides of two pty pairs, so that
// two programs that each open a serial device by its path talk to each other.
class PtyBridge
{
public:
    PtyBridge(PtyPair &a, PtyPair &b)
        : m_a(a.masterFd(), QSocketNotifier::Read), m_b(b.masterFd(), QSocketNotifier::Read)
    {
        const auto copy = [](int from, int to) {
            char bytes[512];
            const ssize_t n = ::read(from, bytes, sizeof bytes);
            if (n > 0 && ::write(to, bytes, std::size_t(n)) != n)
                qWarning("pty bridge: a write fell short");
        };
        const int fa = a.masterFd();
        const int fb = b.masterFd();
        QObject::connect(&m_a, &QSocketNotifier::activated, &m_a, [=] { copy(fa, fb); });
        QObject::connect(&m_b, &QSocketNotifier::activated, &m_b, [=] { copy(fb, fa); });
    }

private:
    QSocketNotifier m_a;
    QSocketNotifier m_b;
};

} // namespace

class TestDeviceMasters : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_pty.isValid());
        m_map = m_dir.filePath(QStringLiteral("bench.csv"));
        QVERIFY(writeFile(m_map, mapText));
        m_device = startDevice(
            m_map, QStringList{QStringLiteral("--serial"), m_pty.slavePath(),
                               QStringLiteral("--tcp"), QStringLiteral("127.0.0.1:0"),
                               QStringLiteral("--mbap"), QStringLiteral("127.0.0.1:0")});
        QVERIFY2(m_device->waitServing(), qPrintable(m_device->errors()));
        QVERIFY(m_device->port(QStringLiteral("tcp")) && m_device->port(QStringLiteral("mbap")));
    }

    // Each row runs on the pty (RTU), over RTU over TCP and over Modbus TCP
    // against the one device, so a row leaves the map as it found it or as
    // the next link finds it again.
    void functionsAndExceptions_data()
    {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QStringList>("results");
        const auto row = [](const char *name, const QStringList &commands,
                            const QStringList &results) {
            QTest::newRow(name) << commands << results;
        };
        const auto ok = QStringLiteral("ok");
        // The reads.
        row("01 read coils", {"05 3 1", "01 0 5", "05 3 0"}, {ok, "ok 0 0 0 1 0", ok});
        row("02 read discrete inputs", {"02 0 3"}, {"ok 1 0 1"});
        row("03 read holding registers", {"03 9 2"}, {"ok 0000 1234"});
        row("04 read input registers", {"04 0 1"}, {"ok 0007"});
        // The writes, each read back.
        row("05 write single coil", {"05 15 1", "01 15 1", "05 15 0", "01 15 1"},
            {ok, "ok 1", ok, "ok 0"});
        row("06 write single register", {"06 4 BEEF", "03 4 1"}, {ok, "ok BEEF"});
        row("0F write multiple coils",
            {"0F 4 1 0 1 1 0 0 0 0 1 1", "01 4 10", "0F 4 0 0 0 0 0 0 0 0 0 0"},
            {ok, "ok 1 0 1 1 0 0 0 0 1 1", ok});
        row("10 write multiple registers", {"10 0 0001 0002 0003", "03 0 3"},
            {ok, "ok 0001 0002 0003"});
        // (0x1234 AND 0x00F2) OR (0x0025 AND NOT 0x00F2), the protocol's own
        // example: 0x0017 from 0x0012.
        row("16 mask write register", {"06 5 0012", "16 5 00F2 0025", "03 5 1"},
            {ok, ok, "ok 0017"});
        // The write comes first, the read sees it.
        row("17 read/write multiple registers", {"17 6 2 6 AAAA BBBB", "17 6 2 6 0000 0000"},
            {"ok AAAA BBBB", "ok 0000 0000"});
        row("08 diagnostics 00 echoes", {"raw 01080000A537"}, {"ok 01080000A537"});
        // Exception 01.
        row("unknown function 41", {"raw 0141"}, {"ok 01C101"});
        row("08 sub-function 01", {"raw 010800010000"}, {"ok 018801"});
        // Exception 02.
        row("03 at a place not defined", {"03 100 1"}, {"exception 02"});
        row("03 running past the map", {"03 9 3"}, {"exception 02"});
        row("01 past the coils", {"01 15 2"}, {"exception 02"});
        row("02 past the inputs", {"02 2 2"}, {"exception 02"});
        row("04 past the inputs", {"04 3 1"}, {"exception 02"});
        row("05 to a place not defined", {"05 16 1"}, {"exception 02"});
        row("06 to a read-only register", {"06 10 0000", "03 10 1"}, {"exception 02", "ok 1234"});
        row("10 over a read-only register", {"10 9 1111 2222", "03 9 2"},
            {"exception 02", "ok 0000 1234"});
        row("0F past the coils", {"0F 15 1 1"}, {"exception 02"});
        row("16 to a read-only register", {"16 10 0000 FFFF"}, {"exception 02"});
        row("17 writing a read-only register", {"17 0 1 10 0000"}, {"exception 02"});
        // Exception 03: counts and values out of range (libmodbus refuses to
        // send them itself, hence raw).
        row("03 count 0", {"raw 010300000000"}, {"ok 018303"});
        row("03 count 126", {"raw 01030000007E"}, {"ok 018303"});
        row("04 count 126", {"raw 01040000007E"}, {"ok 018403"});
        row("01 count 2001", {"raw 0101000007D1"}, {"ok 018103"});
        row("02 count 2001", {"raw 0102000007D1"}, {"ok 018203"});
        row("05 value 1234", {"raw 010500001234"}, {"ok 018503"});
        // 124 registers would not fit a PDU: the byte count is 123's.
        row("10 count 124", {longWrite(0x10, 124, 246)}, {"ok 019003"});
        row("0F count 1969", {longWrite(0x0F, 1969, 247)}, {"ok 018F03"});
        row("10 byte count not twice the count", {"raw 01100000000203000000"}, {"ok 019003"});
    }
    void functionsAndExceptions()
    {
        QFETCH(QStringList, commands);
        QFETCH(QStringList, results);
        QCOMPARE(masterOnPty(m_pty, commands), results);
        QCOMPARE(masterOnTcp("tcp", m_device->port(QStringLiteral("tcp")), commands), results);
        QCOMPARE(masterOnTcp("mbap", m_device->port(QStringLiteral("mbap")), commands), results);
    }

    // The registers of each type and order as a master reads them, and the
    // floats as libmodbus's own decoder of that order gives them.
    void valuesAndOrders_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("result");
        const auto row = [](const char *name, const char *command, const char *result) {
            QTest::newRow(name) << QString::fromLatin1(command) << QString::fromLatin1(result);
        };
        row("f32 ABCD", "03 20 2", "ok 3FC0 0000");
        row("f32 CDAB", "03 22 2", "ok 0000 3FC0");
        row("f32 BADC", "03 24 2", "ok C03F 0000");
        row("f32 DCBA", "03 26 2", "ok 0000 C03F");
        row("f32 ABCD decoded", "f32 03 20 abcd", "ok 1.5");
        row("f32 CDAB decoded", "f32 03 22 cdab", "ok 1.5");
        row("f32 BADC decoded", "f32 03 24 badc", "ok 1.5");
        row("f32 DCBA decoded", "f32 03 26 dcba", "ok 1.5");
        row("input f32 DCBA decoded", "f32 04 1 dcba", "ok -2.25");
        row("u32 CDAB", "03 30 2", "ok 5678 1234");
        row("i32 BADC", "03 32 2", "ok FFFF FEFF");
        row("i16", "03 34 1", "ok FFFE");
        row("u64 DCBA", "03 40 4", "ok 0807 0605 0403 0201");
        row("i64 CDAB", "03 44 4", "ok FFFD FFFF FFFF FFFF");
        row("f64 BADC", "03 48 4", "ok F83F 0000 0000 0000");
        row("str:4", "03 60 4", "ok 5461 6C6C 6F77 0000");
    }
    void valuesAndOrders()
    {
        QFETCH(QString, command);
        QFETCH(QString, result);
        QCOMPARE(masterOnPty(m_pty, {command}), QStringList{result});
        QCOMPARE(masterOnTcp("tcp", m_device->port(QStringLiteral("tcp")), {command}),
                 QStringList{result});
        QCOMPARE(masterOnTcp("mbap", m_device->port(QStringLiteral("mbap")), {command}),
                 QStringList{result});
    }

    // What masters wrote is in the map the device saves as it ends, by its
    // request count or by SIGTERM; the rows it did not write are as they were.
    void writesSaved_data()
    {
        QTest::addColumn<bool>("terminate");
        QTest::addColumn<int>("status");
        QTest::newRow("--requests reached") << false << 0;
        QTest::newRow("SIGTERM") << true << 143;
    }
    void writesSaved()
    {
        QFETCH(bool, terminate);
        const QString saved = m_dir.filePath(QStringLiteral("saved.csv"));
        QFile::remove(saved);
        const auto device =
            startDevice(m_map, {QStringLiteral("--mbap"), QStringLiteral("127.0.0.1:0"),
                                QStringLiteral("--save"), saved, QStringLiteral("--requests"),
                                terminate ? QStringLiteral("100") : QStringLiteral("3")});
        QVERIFY2(device->waitServing(), qPrintable(device->errors()));
        // 1234, the float 3.125 (40480000) in the order ABCD, a coil.
        QCOMPARE(masterOnTcp("mbap", device->port(QStringLiteral("mbap")),
                             {"06 1 04D2", "10 20 4048 0000", "05 3 1"}),
                 QStringList({"ok", "ok", "ok"}));
        if (terminate)
            device->process().terminate();
        const ProgramEnded ended = device->finish();
        QTEST(ended.status, "status");
        const QStringList rows = QString::fromUtf8(readFile(saved)).split(QStringLiteral("\r\n"));
        for (const char *row :
             {"table,address,type,value,order,access,name", "holding,1,u16,1234,ABCD,rw,scratch",
              "holding,0,u16,0,ABCD,rw,scratch", "holding,20,f32,3.125,ABCD,rw,",
              "coil,3,bit,1,,rw,outputs", "holding,10,u16,4660,ABCD,r,fixed",
              "holding,22,f32,1.5,CDAB,rw,", "holding,60,str:4,Tallow,,rw,tag"})
            QVERIFY2(rows.contains(QLatin1String(row)), row);
    }

    // mbpoll, on Modbus TCP and on RTU through a pty: each row may write
    // first, then reads; its values are as mbpoll prints them ("[20]: 1.5"),
    // its floats and 32-bit integers by mbpoll's own decoder (words low first
    // unless -B).
    void mbpoll_data()
    {
        QTest::addColumn<QStringList>("write");
        QTest::addColumn<QStringList>("read");
        QTest::addColumn<QStringList>("values");
        const auto row = [](const char *name, const QStringList &write, const QStringList &read,
                            const QStringList &values) {
            QTest::newRow(name) << write << read << values;
        };
        row("holding registers", {}, {"-r", "9", "-c", "2"}, {"[9]: \t0", "[10]: \t4660"});
        row("f32 ABCD (-B)", {}, {"-t", "4:float", "-B", "-r", "20"}, {"[20]: \t1.5"});
        row("f32 CDAB", {}, {"-t", "4:float", "-r", "22"}, {"[22]: \t1.5"});
        row("u32 CDAB", {}, {"-t", "4:int", "-r", "30"}, {"[30]: \t305419896"});
        row("input register", {}, {"-t", "3", "-r", "0"}, {"[0]: \t7"});
        row("input f32 DCBA is not mbpoll's", {}, {"-t", "3:hex", "-r", "1", "-c", "2"},
            {"[1]: \t0x0000", "[2]: \t0x10C0"});
        row("discrete inputs", {}, {"-t", "1", "-r", "0", "-c", "3"},
            {"[0]: \t1", "[1]: \t0", "[2]: \t1"});
        row("06 written, read back", {"-r", "8", "65534"}, {"-t", "4:hex", "-r", "8"},
            {"[8]: \t0xFFFE"});
        row("i32 written words high first (-B)", {"-t", "4:int", "-B", "-r", "32", "--", "-2"},
            {"-t", "4:hex", "-r", "32", "-c", "2"}, {"[32]: \t0xFFFF", "[33]: \t0xFFFE"});
        row("10 written, read back", {"-r", "6", "11", "12"}, {"-r", "6", "-c", "2"},
            {"[6]: \t11", "[7]: \t12"});
        row("coils written, read back", {"-t", "0", "-r", "12", "1", "0", "1"},
            {"-t", "0", "-r", "12", "-c", "3"}, {"[12]: \t1", "[13]: \t0", "[14]: \t1"});
    }
    void mbpoll()
    {
        QFETCH(QStringList, write);
        QFETCH(QStringList, read);
        QFETCH(QStringList, values);
        const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
        if (mbpoll.isEmpty())
            QSKIP("mbpoll is missing (scripts/deps.sh --test)");
        PtyPair device;
        PtyPair master;
        QVERIFY(device.isValid() && master.isValid());
        PtyBridge bridge(device, master);
        // Even parity, mbpoll's default, on both ptys: each program sets its
        // own end's speed and parity.
        const auto program =
            startDevice(m_map, {QStringLiteral("--serial"), device.slavePath(),
                                QStringLiteral("--serial-settings"), QStringLiteral("19200,e,8,1"),
                                QStringLiteral("--mbap"), QStringLiteral("127.0.0.1:0")});
        QVERIFY2(program->waitServing(), qPrintable(program->errors()));
        const QStringList links[] = {
            {"-m", "tcp", "-p", QString::number(program->port(QStringLiteral("mbap"))),
             "127.0.0.1"},
            {"-m", "rtu", "-b", "19200", "-P", "even", master.slavePath()}};
        for (const QStringList &link : links) {
            const auto run = [&](const QStringList &args) {
                QProcess poll;
                QSignalSpy finished(&poll, &QProcess::finished);
                // Options may follow the link, values must (after "--" when
                // negative).
                poll.start(mbpoll, QStringList{"-a", "1", "-0", "-1", "-o", "2"} + link + args);
                // The bridge is served by the event loop while mbpoll runs.
                if (!finished.wait(30000)) {
                    poll.kill();
                    poll.waitForFinished(5000);
                    return QStringList{QStringLiteral("no end")};
                }
                QStringList out = QString::fromUtf8(poll.readAllStandardOutput()).split(u'\n');
                if (poll.exitCode() != 0)
                    out << QStringLiteral("status %1: %2")
                               .arg(poll.exitCode())
                               .arg(QString::fromUtf8(poll.readAllStandardError()));
                return out;
            };
            if (!write.isEmpty())
                QVERIFY(run(write).join(u'\n').contains(QStringLiteral("Written")));
            const QStringList out = run(read);
            for (const QString &value : values)
                QVERIFY2(out.contains(value),
                         qPrintable(link.join(u' ') + u'\n' + out.join(u'\n')));
        }
    }

    // Each rule as libmodbus reports it, on the link where it means something:
    // the device on the pty, RTU over TCP and Modbus TCP, one request a line.
    void faultsAsLibmodbusSees_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("link");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<QStringList>("results");
        const auto row = [](const char *name, const char *rule, const char *link,
                            const QStringList &commands, const QStringList &results) {
            QTest::newRow(name) << QString::fromLatin1(rule) << QString::fromLatin1(link)
                                << commands << results;
        };
        const QString read = QStringLiteral("03 9 2");
        const QString answer = QStringLiteral("ok 0000 1234");
        const QString timeout = QStringLiteral("timeout 300");
        row("crc on the line", "crc", "pty", {read}, {"error Invalid CRC"});
        row("crc, RTU over TCP", "crc", "tcp", {read}, {"error Invalid CRC"});
        row("crc means nothing on Modbus TCP", "crc", "mbap", {read}, {answer});
        row("every second", "crc@every=2", "pty", {read, read, read, read},
            {answer, "error Invalid CRC", answer, "error Invalid CRC"});
        row("exception by function and place", "exception=04@fc=03,addr=10-19", "mbap",
            {read, "03 0 2", "06 9 0000"}, {"exception 04", "ok 0000 0000", "ok"});
        row("wrong unit", "wrong-unit", "pty", {read}, {"error Response not from requested slave"});
        row("silent", "silent", "mbap", {timeout, read}, {"ok", "error Connection timed out"});
        row("delay past the time-out", "delay=600", "pty", {timeout, read},
            {"ok", "error Connection timed out"});
        row("after two, twice", "silent@after=2,count=2", "tcp",
            {timeout, read, read, read, read, read},
            {"ok", answer, answer, "error Connection timed out", "error Connection timed out",
             answer});
    }
    void faultsAsLibmodbusSees()
    {
        QFETCH(QString, rule);
        QFETCH(QString, link);
        QFETCH(QStringList, commands);
        QFETCH(QStringList, results);
        PtyPair pty;
        QVERIFY(pty.isValid());
        const auto device = startDevice(
            m_map, {QStringLiteral("--serial"), pty.slavePath(), QStringLiteral("--tcp"),
                    QStringLiteral("127.0.0.1:0"), QStringLiteral("--mbap"),
                    QStringLiteral("127.0.0.1:0"), QStringLiteral("--fault"), rule});
        QVERIFY2(device->waitServing(), qPrintable(device->errors()));
        if (link == u"pty")
            QCOMPARE(masterOnPty(pty, commands), results);
        else if (link == u"tcp")
            QCOMPARE(masterOnTcp("tcp", device->port(QStringLiteral("tcp")), commands), results);
        else
            QCOMPARE(masterOnTcp("mbap", device->port(QStringLiteral("mbap")), commands), results);
    }

    void cleanupTestCase() { m_device.reset(); }

private:
    QTemporaryDir m_dir;
    PtyPair m_pty;
    QString m_map;
    std::unique_ptr<DeviceProcess> m_device;
};

QTEST_GUILESS_MAIN(TestDeviceMasters)
#include "tst_device_masters.moc"
