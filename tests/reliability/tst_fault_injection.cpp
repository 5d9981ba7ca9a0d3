// Faults of real peers during whole exchanges through the real window: a slave
// process killed, a serial device pulled out and plugged in again under the
// same path, TCP peers that close or reset half-way, floods, garbage and
// replies cut in two. Every case ends with the window idle, the log saying
// what happened, and a Send that works again.
// CRCs and reply entries: pymodbus 3.0 utilities.computeCRC, computed once.
#include "engine/exchange_engine.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "support/exchange.h"
#include "support/pty_pair.h"
#include "ui/log_box.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tallowick;
using namespace tallowick::test;

namespace {

const QString closed = QStringLiteral("-------關閉連線-------");
const QString noReply = QStringLiteral("--------無回應--------");
const QString linkFailed = QStringLiteral("------9:連線錯誤------");
const QString connecting = QStringLiteral("-------正在連線-------");
const QString sckClosed = QStringLiteral("-------0:sckClosed-------");
const QString sendCmd1 = QStringLiteral("傳送CMD1： > 010300000001 840A");
const QString goodReply = QStringLiteral("接收 < 0103020005 7847");
const QString tooShort = QStringLiteral("------9:Subscript out of range------");
const QByteArray goodReplyBytes = QByteArray::fromHex("01030200057847");
// Unit 2, which the slave (unit 1) leaves unanswered.
const QString unit2 = QStringLiteral("020300000001");
const QString sendUnit2 = QStringLiteral("傳送CMD1： > 020300000001 8439");

// The libmodbus slave of tests/peers as a process the test can kill.
class SlaveProcess
{
public:
    // "pty", or "tcp" with an optional fixed port.
    explicit SlaveProcess(const QString &mode, quint16 port = 0)
    {
        m_process.setProgram(QStringLiteral(TALLOWICK_RTU_SLAVE));
        QStringList arguments{mode};
        if (port != 0)
            arguments << QString::number(port);
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        const QStringList words = QString::fromLocal8Bit(m_process.readLine()).split(u' ');
        if (words.size() == 2)
            m_where = words.at(1).trimmed();
    }
    ~SlaveProcess() { kill(); }
    SlaveProcess(const SlaveProcess &) = delete;
    SlaveProcess &operator=(const SlaveProcess &) = delete;

    bool isRunning() const { return !m_where.isEmpty(); }
    QString where() const { return m_where; }
    // SIGKILL: the slave gets no chance to close anything in good order.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    QString m_where;
};

// A serial device under a path of the test's own: a symbolic link to the
// current pty, removed when the device goes away and made again when it
// comes back, as udev does for a USB adapter's stable name.
class DevicePath
{
public:
    DevicePath() : m_path(m_folder.filePath(QStringLiteral("ttyModbus"))) {}
    QString path() const { return m_path; }
    bool plugIn(const QString &pty) { return QFile::link(pty, m_path); }
    bool pullOut() { return QFile::remove(m_path); }

private:
    QTemporaryDir m_folder;
    QString m_path;
};

int countLines(const QStringList &lines, const QString &line)
{
    return int(lines.count(line));
}

bool isRunEnded(WindowFixture &f)
{
    return !f.engine().isRepeating() && f.ui().Command2->text() == QLatin1String("Repeat Send") &&
           !f.ui().repTimer->isActive();
}

// A loopback peer on a thread of its own, so that it writes as fast as the
// kernel takes the bytes, whatever the window's thread is doing. The first
// request is answered with the burst, every later one with a good reply.
class BurstPeer
{
public:
    explicit BurstPeer(QByteArray burst) : m_burst(std::move(burst))
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
            ::listen(m_listener, 1) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~BurstPeer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        ::close(m_listener);
    }
    BurstPeer(const BurstPeer &) = delete;
    BurstPeer &operator=(const BurstPeer &) = delete;

    quint16 port() const { return m_port; }
    bool burstWritten() const { return m_burstWritten; }

private:
    // Polls in short steps so that the destructor's stop is seen at once.
    bool readable(int fd)
    {
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0)
                return true;
        }
        return false;
    }
    bool writeAll(int fd, const QByteArray &bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n =
                ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }
    void serve()
    {
        if (!readable(m_listener))
            return;
        const int client = ::accept(m_listener, nullptr, nullptr);
        bool first = true;
        char request[256];
        while (client >= 0 && readable(client) && ::recv(client, request, sizeof request, 0) > 0) {
            if (!writeAll(client, first ? m_burst : goodReplyBytes))
                break;
            m_burstWritten = m_burstWritten || first;
            first = false;
        }
        if (client >= 0)
            ::close(client);
    }

    QByteArray m_burst;
    int m_listener = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_burstWritten{false};
};

// The bytes the log shows as received: the frame text of every reply entry
// counted back into bytes, and one byte for each entry of a reply too short to
// be checked.
qsizetype loggedReplyBytes(const QString &log)
{
    qsizetype bytes = 0;
    for (const QString &line : logLines(log)) {
        if (line == tooShort) {
            bytes += 1;
        } else if (line.startsWith(QStringLiteral("接收 < "))) {
            QStringView text = QStringView(line).mid(5);
            const qsizetype mismatch = text.indexOf(QStringLiteral("  *"));
            if (mismatch >= 0)
                text = text.left(mismatch);
            bytes += (text.size() - text.count(u' ')) / 2;
        }
    }
    return bytes;
}

} // namespace

class TestFaultInjection : public QObject
{
    Q_OBJECT
private slots:
    void slaveKilledWhileAwaited_data();
    void slaveKilledWhileAwaited();
    void slaveKilledDuringRun_data();
    void slaveKilledDuringRun();
    void serialDeviceGoneAndBack_data();
    void serialDeviceGoneAndBack();
    void tcpPeerFaults_data();
    void tcpPeerFaults();
    void replySplitAtEveryByte_data();
    void replySplitAtEveryByte();
    void garbage_data();
    void garbage();
    void tcpReplyOfNoBytes();
    void flood_data();
    void flood();

private:
    // The next Send reaches the peer and its reply is logged. On a kept link
    // the peer closed, one Send first reports the dead socket.
    void expectSendWorks(WindowFixture &f);
};

void TestFaultInjection::expectSendWorks(WindowFixture &f)
{
    f.ui().cmd[0]->setText(QStringLiteral("010300000001"));
    f.window->log().clear();
    clickSend(f);
    QVERIFY(waitIdle(f));
    if (logLines(f.logText()).contains(sckClosed)) {
        QVERIFY(f.ui().connect[1]->isChecked());
        f.window->log().clear();
        clickSend(f);
        QVERIFY(waitIdle(f));
    }
    const QStringList lines = logLines(f.logText());
    QVERIFY2(lines.contains(goodReply), qPrintable(lines.join(u'|')));
    QVERIFY2(lines.contains(sendCmd1), qPrintable(lines.join(u'|')));
}

void TestFaultInjection::slaveKilledWhileAwaited_data()
{
    QTest::addColumn<bool>("serial");
    QTest::addColumn<bool>("keepLink");
    QTest::newRow("tcp 間斷連線") << false << false;
    QTest::newRow("tcp 保持連線") << false << true;
    QTest::newRow("pty 間斷連線") << true << false;
    QTest::newRow("pty 保持連線") << true << true;
}

void TestFaultInjection::slaveKilledWhileAwaited()
{
    QFETCH(bool, serial);
    QFETCH(bool, keepLink);
    DevicePath device;
    auto slave =
        std::make_unique<SlaveProcess>(serial ? QStringLiteral("pty") : QStringLiteral("tcp"));
    QVERIFY(slave->isRunning());
    const quint16 port = serial ? 0 : quint16(slave->where().toUInt());
    WindowFixture f(true);
    if (serial) {
        QVERIFY(device.plugIn(slave->where()));
        useSerial(f, device.path(), QStringLiteral("400"), keepLink);
    } else {
        useTcp(f, port, QStringLiteral("400"), keepLink);
    }
    f.ui().cmd[0]->setText(unit2);

    clickSend(f);
    QTRY_VERIFY_WITH_TIMEOUT(logLines(f.logText()).contains(sendUnit2), 2000);
    QVERIFY(!isIdle(f));
    slave->kill();
    QVERIFY(waitIdle(f));
    QStringList expected{noReply, "", sendUnit2};
    if (!keepLink)
        expected = QStringList{closed, ""} + expected;
    QCOMPARE(logLines(f.logText()).mid(0, expected.size()), expected);
    QVERIFY(!f.ui().Timer->isActive());
    QVERIFY(!f.engine().linkOpen());
    if (serial)
        QVERIFY(!f.engine().serialLink().isOpen()); // the hang-up closed it

    // The slave comes back where it was.
    if (serial) {
        QVERIFY(device.pullOut());
        slave = std::make_unique<SlaveProcess>(QStringLiteral("pty"));
        QVERIFY(slave->isRunning());
        QVERIFY(device.plugIn(slave->where()));
    } else {
        slave = std::make_unique<SlaveProcess>(QStringLiteral("tcp"), port);
        QVERIFY(slave->isRunning());
    }
    expectSendWorks(f);
}

void TestFaultInjection::slaveKilledDuringRun_data()
{
    slaveKilledWhileAwaited_data();
}

void TestFaultInjection::slaveKilledDuringRun()
{
    QFETCH(bool, serial);
    QFETCH(bool, keepLink);
    DevicePath device;
    auto slave =
        std::make_unique<SlaveProcess>(serial ? QStringLiteral("pty") : QStringLiteral("tcp"));
    QVERIFY(slave->isRunning());
    const quint16 port = serial ? 0 : quint16(slave->where().toUInt());
    WindowFixture f(true);
    if (serial) {
        QVERIFY(device.plugIn(slave->where()));
        useSerial(f, device.path(), QStringLiteral("100"), keepLink);
    } else {
        useTcp(f, port, QStringLiteral("100"), keepLink);
    }
    f.ui().rpStart->setText(QStringLiteral("1"));
    f.ui().rpStop->setText(QStringLiteral("1"));
    f.ui().rCNT->setText(QStringLiteral("8"));
    f.ui().repeat->setText(QStringLiteral("60"));

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(countLines(logLines(f.logText()), goodReply) >= 2, 3000);
    QVERIFY(f.engine().isRepeating());
    slave->kill();
    const int answered = countLines(logLines(f.logText()), goodReply);

    // The run ends by itself, by its count or by the failed link.
    QTRY_VERIFY_WITH_TIMEOUT(isRunEnded(f), 5000);
    QVERIFY(waitIdle(f));
    QVERIFY(!f.ui().Timer->isActive());
    const QStringList lines = logLines(f.logText());
    // Nothing answers once the slave is gone, and the log says so.
    QCOMPARE(countLines(lines, goodReply), answered);
    QVERIFY2(lines.contains(noReply) || lines.contains(linkFailed), qPrintable(lines.join(u'|')));
    QVERIFY(countLines(lines, sendCmd1) <= 8);

    if (serial) {
        QVERIFY(device.pullOut());
        slave = std::make_unique<SlaveProcess>(QStringLiteral("pty"));
        QVERIFY(slave->isRunning());
        QVERIFY(device.plugIn(slave->where()));
    } else {
        slave = std::make_unique<SlaveProcess>(QStringLiteral("tcp"), port);
        QVERIFY(slave->isRunning());
    }
    expectSendWorks(f);
    // And a new run goes through all its passes.
    f.window->log().clear();
    f.ui().rCNT->setText(QStringLiteral("2"));
    f.ui().repeat->setText(QStringLiteral("10"));
    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(isRunEnded(f), 3000);
    QVERIFY(waitIdle(f));
    QTRY_COMPARE_WITH_TIMEOUT(countLines(logLines(f.logText()), goodReply), 2, 2000);
}

void TestFaultInjection::serialDeviceGoneAndBack_data()
{
    QTest::addColumn<bool>("whileAwaited");
    QTest::newRow("between exchanges") << false;
    QTest::newRow("while a reply is awaited") << true;
}

void TestFaultInjection::serialDeviceGoneAndBack()
{
    QFETCH(bool, whileAwaited);
    DevicePath device;
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    QVERIFY(device.plugIn(pty->slavePath()));
    WindowFixture f(true);
    useSerial(f, device.path(), QStringLiteral("300"), true);

    clickSend(f);
    QCOMPARE(pty->read(), QByteArray::fromHex("010300000001840A"));
    pty->write(goodReplyBytes);
    QVERIFY(waitIdle(f));
    QVERIFY(f.engine().serialLink().isOpen());
    if (whileAwaited) {
        clickSend(f);
        QVERIFY(!pty->read().isEmpty());
    }
    f.window->log().clear();

    // Pulled out: the far end closes and the path goes away.
    pty->closeMaster();
    QVERIFY(device.pullOut());
    QTRY_VERIFY_WITH_TIMEOUT(!f.engine().serialLink().isOpen(), 2000);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()),
             whileAwaited ? QStringList({noReply, "", ""}) : QStringList({""}));

    // A Send while it is away says so and ends with its time-out.
    f.dialogs.clear();
    clickSend(f);
    QCOMPARE(f.dialogs.messageTexts(), QStringList({"Error port setting"}));
    QCOMPARE(f.dialogs.messages.at(0).title, QStringLiteral("COM Port Error"));
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()).first(), noReply);

    // Plugged in again under the same name: the next Send needs no restart.
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    QVERIFY(device.plugIn(pty->slavePath()));
    f.window->log().clear();
    clickSend(f);
    QCOMPARE(pty->read(), QByteArray::fromHex("010300000001840A"));
    pty->write(goodReplyBytes);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()), QStringList({goodReply, sendCmd1, "", ""}));
    QVERIFY(f.engine().serialLink().isOpen());
}

namespace {
enum class PeerFault {
    CloseAtOnce,   // closes as soon as the request arrives
    ResetAtOnce,   // resets as soon as the request arrives
    OneByteClose,  // one byte of the reply, then closes
    HalfClose,     // half the reply, then closes
    HalfReset,     // half the reply, then resets
    ResetOnAccept, // resets the connection as soon as it is accepted
};
}

void TestFaultInjection::tcpPeerFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("keepLink");
    // The entries above the transmit entry, newest first.
    QTest::addColumn<QStringList>("entries");
    const QString half = QStringLiteral("接收 < 01 0302  *CRC錯誤　正確為  7E80");
    for (const bool keep : {false, true}) {
        QStringList dropped;
        if (!keep)
            dropped << closed << QString();
        const char *mode = keep ? " 保持連線" : " 間斷連線";
        QTest::addRow("closes at once%s", mode)
            << int(PeerFault::CloseAtOnce) << keep << dropped + QStringList{noReply, ""};
        QTest::addRow("resets at once%s", mode)
            << int(PeerFault::ResetAtOnce) << keep << dropped + QStringList{noReply, ""};
        QTest::addRow("one byte, then closes%s", mode)
            << int(PeerFault::OneByteClose) << keep << dropped + QStringList{tooShort};
        QTest::addRow("half a reply, then closes%s", mode)
            << int(PeerFault::HalfClose) << keep << dropped + QStringList{half};
        QTest::addRow("half a reply, then resets%s", mode)
            << int(PeerFault::HalfReset) << keep << dropped + QStringList{half};
        QTest::addRow("resets on accepting%s", mode)
            << int(PeerFault::ResetOnAccept) << keep << dropped + QStringList{noReply, ""};
    }
}

void TestFaultInjection::tcpPeerFaults()
{
    QFETCH(int, fault);
    QFETCH(bool, keepLink);
    QFETCH(QStringList, entries);
    const auto kind = PeerFault(fault);
    ScriptedPeer peer;
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) {
        switch (kind) {
        case PeerFault::CloseAtOnce:
            socket->disconnectFromHost();
            break;
        case PeerFault::ResetAtOnce:
            ScriptedPeer::reset(socket);
            break;
        case PeerFault::OneByteClose:
            socket->write(goodReplyBytes.left(1));
            socket->disconnectFromHost(); // the byte still goes out first
            break;
        case PeerFault::HalfClose:
        case PeerFault::HalfReset:
            // The connection ends once the window has taken the half.
            socket->write(goodReplyBytes.left(3));
            break;
        case PeerFault::ResetOnAccept:
            break;
        }
    };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("300"), keepLink);

    if (kind == PeerFault::ResetOnAccept) {
        // A peer that takes the connection and drops it before the request.
        QTcpServer resetter;
        QVERIFY(resetter.listen(QHostAddress::LocalHost));
        connect(&resetter, &QTcpServer::newConnection, &resetter, [&resetter] {
            while (QTcpSocket *socket = resetter.nextPendingConnection())
                ScriptedPeer::reset(socket);
        });
        f.ui().port->setText(QString::number(resetter.serverPort()));
        clickSend(f);
        QVERIFY(waitIdle(f));
        // Whether the reset comes before or after the connection is made is
        // the kernel's business: either the connection fails or the frame
        // goes out unanswered.
        QStringList lines = logLines(f.logText());
        if (!keepLink) {
            QCOMPARE(lines.mid(0, 2), QStringList({closed, ""}));
            lines = lines.mid(2);
        }
        QVERIFY2(lines.first() == noReply || lines.first() == linkFailed,
                 qPrintable(lines.join(u'|')));
        // Qt takes the ECONNRESET that connect() may report for such a peer as
        // "still connecting" and tries again for half a minute; the time-out
        // ends that attempt, so the next Send connects afresh.
        QCOMPARE(f.engine().tcpLink().state(), int(TcpLink::Closed));
        QVERIFY(!f.engine().linkOpen());
        f.ui().port->setText(QString::number(peer.port()));
    } else {
        clickSend(f);
        QVERIFY(waitIdle(f));
        if (kind == PeerFault::HalfClose) {
            QTRY_VERIFY_WITH_TIMEOUT(peer.last(), 1000);
            peer.last()->disconnectFromHost();
        } else if (kind == PeerFault::HalfReset) {
            QTRY_VERIFY_WITH_TIMEOUT(peer.last(), 1000);
            ScriptedPeer::reset(peer.last());
        }
        const QStringList expected =
            entries + QStringList{sendCmd1,
                                  "",
                                  connecting,
                                  "",
                                  QStringLiteral("IP:127.0.0.1:") + QString::number(peer.port()),
                                  "",
                                  ""};
        QCOMPARE(logLines(f.logText()), expected);
        if (keepLink && entries.first() != noReply) {
            // The connection the peer ended is seen as closed.
            QTRY_COMPARE_WITH_TIMEOUT(f.engine().tcpLink().state(), int(TcpLink::Closed), 2000);
        } else {
            QVERIFY(!f.engine().linkOpen());
        }
    }
    QVERIFY(f.ui().modeSelect->isEnabled());
    QVERIFY(!f.ui().Timer->isActive());

    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) { socket->write(goodReplyBytes); };
    expectSendWorks(f);
}

void TestFaultInjection::replySplitAtEveryByte_data()
{
    QTest::addColumn<int>("at");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("1") << 1 << tooShort << "接收 < 03020005 7847  *CRC錯誤　正確為  61A3";
    QTest::newRow("2") << 2 << "接收 <  0103  *CRC錯誤　正確為  FFFF"
                       << "接收 < 020005 7847  *CRC錯誤　正確為  103";
    QTest::newRow("3") << 3 << "接收 < 01 0302  *CRC錯誤　正確為  7E80"
                       << "接收 < 0005 7847  *CRC錯誤　正確為  C1B3";
    QTest::newRow("4") << 4 << "接收 < 0103 0200  *CRC錯誤　正確為  4021"
                       << "接收 < 05 7847  *CRC錯誤　正確為  7F43";
    QTest::newRow("5") << 5 << "接收 < 010302 0005  *CRC錯誤　正確為  A131"
                       << "接收 <  7847  *CRC錯誤　正確為  FFFF";
    QTest::newRow("6") << 6 << "接收 < 01030200 0578  *CRC錯誤　正確為  F0B8" << tooShort;
}

void TestFaultInjection::replySplitAtEveryByte()
{
    QFETCH(int, at);
    QFETCH(QString, first);
    QFETCH(QString, second);
    ScriptedPeer peer;
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) {
        socket->write(goodReplyBytes.left(at));
    };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("2000"), true);

    clickSend(f);
    // The first part ends the exchange; the rest, once it is there, is
    // logged as a reply of its own.
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()).first(), first);
    peer.last()->write(goodReplyBytes.mid(at));
    QTRY_COMPARE_WITH_TIMEOUT(logLines(f.logText()).mid(0, 3),
                              QStringList({second, first, sendCmd1}), 2000);
    QVERIFY(isIdle(f));
    QVERIFY(!f.ui().Timer->isActive());

    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) { socket->write(goodReplyBytes); };
    expectSendWorks(f);
}

void TestFaultInjection::garbage_data()
{
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("entry");
    QByteArray pattern;
    for (int i = 0; i < 64; ++i)
        pattern.append(char((i * 37 + 11) % 256));
    const QString patternEntry = QStringLiteral(
        "接收 < 0B30557A9FC4E90E33587DA2C7EC11365B80A5CAEF14395E83A8CDF2173C6186ABD0F51A3F6489AED3"
        "F81D42678CB1D6FB20456A8FB4D9FE23486D92B7DC 0126  *CRC錯誤　正確為  C0A9");
    const QByteArray control("\r\n\0\xff\x1b[2J", 8);
    const QString controlEntry = QStringLiteral("接收 < 0D0A00FF1B5B 324A  *CRC錯誤　正確為  E23C");
    const QByteArray http("HTTP/1.1 400 Bad Request\r\n\r\n");
    const QString httpEntry =
        QStringLiteral("接收 < 485454502F312E31203430302042616420526571756573740D"
                       "0A 0D0A  *CRC錯誤　正確為  17CB");
    for (const bool serial : {false, true}) {
        const char *link = serial ? "pty" : "tcp";
        QTest::addRow("%s: 64 bytes of noise", link) << serial << pattern << patternEntry;
        QTest::addRow("%s: control characters", link) << serial << control << controlEntry;
        QTest::addRow("%s: a text protocol's answer", link) << serial << http << httpEntry;
    }
}

void TestFaultInjection::garbage()
{
    QFETCH(bool, serial);
    QFETCH(QByteArray, reply);
    QFETCH(QString, entry);
    ScriptedPeer peer;
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    if (serial) {
        useSerial(f, pty.slavePath(), QStringLiteral("2000"), true);
    } else {
        peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) { socket->write(reply); };
        useTcp(f, peer.port(), QStringLiteral("2000"), true);
    }

    clickSend(f);
    if (serial) {
        QCOMPARE(pty.read(), QByteArray::fromHex("010300000001840A"));
        pty.write(reply);
    }
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()).mid(0, 2), QStringList({entry, sendCmd1}));

    if (serial) {
        f.window->log().clear();
        clickSend(f);
        QVERIFY(!pty.read().isEmpty());
        pty.write(goodReplyBytes);
        QVERIFY(waitIdle(f));
        QCOMPARE(logLines(f.logText()), QStringList({goodReply, sendCmd1, "", ""}));
    } else {
        peer.onRequest = [](QTcpSocket *socket, const QByteArray &) {
            socket->write(goodReplyBytes);
        };
        expectSendWorks(f);
    }
}

void TestFaultInjection::tcpReplyOfNoBytes()
{
    // An empty write puts nothing on the wire: to the window it is silence.
    ScriptedPeer peer;
    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) { socket->write(QByteArray()); };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("200"), true);
    clickSend(f);
    QVERIFY(waitIdle(f));
    QCOMPARE(logLines(f.logText()).mid(0, 3), QStringList({noReply, "", sendCmd1}));
    QVERIFY(f.engine().linkOpen());
    QVERIFY(!f.engine().linkFailed());
    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) { socket->write(goodReplyBytes); };
    expectSendWorks(f);
}

void TestFaultInjection::flood_data()
{
    QTest::addColumn<bool>("serial");
    QTest::newRow("tcp") << false;
    QTest::newRow("pty") << true;
}

void TestFaultInjection::flood()
{
    QFETCH(bool, serial);
    constexpr qsizetype floodSize = 10 * 1024 * 1024;
    QByteArray burst(floodSize, Qt::Uninitialized);
    char *bytes = burst.data();
    for (qsizetype i = 0; i < floodSize; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    std::unique_ptr<BurstPeer> peer;
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    if (serial) {
        useSerial(f, pty.slavePath(), QStringLiteral("5000"), true);
    } else {
        peer = std::make_unique<BurstPeer>(burst);
        QVERIFY(peer->port() != 0);
        useTcp(f, peer->port(), QStringLiteral("5000"), true);
    }

    // A timer the window's thread must keep serving while the flood comes in.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    connect(&ticker, &QTimer::timeout, &ticker,
            [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticker.start();

    clickSend(f);
    std::thread writer;
    std::atomic<bool> written{false};
    if (serial) {
        QCOMPARE(pty.read(), QByteArray::fromHex("010300000001840A"));
        // From a thread of its own, as fast as the pty takes the bytes.
        writer = std::thread([&] {
            pty.write(burst);
            written = true;
        });
    }
    QVERIFY(waitIdle(f, 30000));
    // Until the log stops growing; its length is read without copying the
    // text, so that the test itself does not hold the window's thread up.
    const QTextDocument *log = f.ui().getMsg->document();
    QElapsedTimer quiet;
    quiet.start();
    for (int length = 0; quiet.elapsed() < 500; QTest::qWait(20)) {
        QVERIFY2(clock.elapsed() < 60000, "the flood was not taken within a minute");
        const bool sent = serial ? bool(written) : peer->burstWritten();
        if (!sent || log->characterCount() != length) {
            length = log->characterCount();
            quiet.restart();
        }
    }
    ticker.stop();
    if (writer.joinable())
        writer.join();
    QCOMPARE(loggedReplyBytes(f.logText()), floodSize);
    const qint64 took = clock.elapsed();
    const QStringList lines = logLines(f.logText());
    qInfo("10 MB flood logged in %lld ms as %lld lines, %lld characters; longest timer gap %lld ms",
          took, qlonglong(lines.size()), qlonglong(f.logText().size()), longestGap);
    QVERIFY(isIdle(f));
    // The window keeps turning: no stall long enough for a user to notice.
    QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));

    if (serial) {
        f.window->log().clear();
        clickSend(f);
        QVERIFY(!pty.read().isEmpty());
        pty.write(goodReplyBytes);
        QVERIFY(waitIdle(f));
        QCOMPARE(logLines(f.logText()), QStringList({goodReply, sendCmd1, "", ""}));
    } else {
        expectSendWorks(f);
    }
}

QTEST_MAIN(TestFaultInjection)
#include "tst_fault_injection.moc"
