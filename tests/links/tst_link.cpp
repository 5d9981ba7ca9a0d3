// The links on real devices: the serial link on a pty pair, the TCP link
// against a loopback server. Waits are bounded and generous; nothing here is
// timed.
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "support/pty_pair.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>
#include <termios.h>

using namespace tallowick;
using tallowick::test::PtyPair;

namespace {

// The speed and stop bits a device has. A pty takes no more: it keeps eight
// data bits and no parity whatever it is told.
QString lineSettingsOf(int fd)
{
    termios tio{};
    tcgetattr(fd, &tio);
    const QHash<speed_t, int> bauds{{B1200, 1200}, {B9600, 9600}, {B19200, 19200}};
    return QStringLiteral("%1 baud, %2 stop bits")
        .arg(bauds.value(cfgetospeed(&tio)))
        .arg(tio.c_cflag & CSTOPB ? 2 : 1);
}

} // namespace

class TestLinks : public QObject
{
    Q_OBJECT
private slots:
    void serialOpen_data()
    {
        QTest::addColumn<QString>("comSelect"); // "" the pty, "busy" the pty another link holds
        QTest::addColumn<QString>("configCom");
        QTest::addColumn<QString>("result"); // what the device was set to, or the error
        auto row = [](const char *port, const char *settings, const char *result) {
            QTest::newRow(*port ? port : settings)
                << QString(port) << QString(settings) << QString(result);
        };
        row("", "9600,n,8,1", "9600 baud, 1 stop bits");
        row("", "19200,E,7,2", "19200 baud, 2 stop bits");
        row("", "9600,x,8,1", "InvalidSettings");
        row("/dev/tallowick-no-such-port", "9600,n,8,1", "InvalidPort");
        row("0", "9600,n,8,1", "InvalidPort");
        row("busy", "1200,n,8,1", "Other");
    }

    void serialOpen()
    {
        QFETCH(QString, comSelect);
        QFETCH(QString, configCom);
        QFETCH(QString, result);
        PtyPair pty;
        QVERIFY(pty.isValid());
        SerialLink holder;
        if (comSelect == u"busy")
            QCOMPARE(holder.open(LinkTarget::serial(pty.slavePath(), configCom)), LinkError::None);
        SerialLink link;
        const QString path =
            comSelect.isEmpty() || comSelect == u"busy" ? pty.slavePath() : comSelect;
        const LinkError error = link.open(LinkTarget::serial(path, configCom));
        const QStringList errors{"None", "InvalidPort", "InvalidSettings", "Other"};
        QCOMPARE(error == LinkError::None ? lineSettingsOf(pty.masterFd())
                                          : errors.value(int(error)),
                 result);
        QCOMPARE(link.isOpen(), error == LinkError::None);
        if (link.isOpen())
            QCOMPARE(link.lineSettings()->baudRate, result.section(u' ', 0, 0).toInt());
    }

    // Every byte value both ways, including those a terminal would translate;
    // then the adapter is pulled out.
    void serialBytesAndDeviceGone()
    {
        auto pty = std::make_unique<PtyPair>();
        SerialLink link;
        const LinkTarget target =
            LinkTarget::serial(pty->slavePath(), QStringLiteral("19200,e,8,1"));
        QCOMPARE(link.open(target), LinkError::None);
        QCOMPARE(link.state(), int(Link::Connected));
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        QVERIFY(link.write(all));
        QByteArray onWire;
        QTRY_VERIFY_WITH_TIMEOUT((onWire += pty->read(0, 0)).size() >= all.size(), 5000);
        QCOMPARE(onWire, all);
        QSignalSpy arrived(&link, &Link::dataArrived);
        pty->write(all);
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += link.readAll()).size() >= all.size(), 5000);
        QCOMPARE(got, all);
        QVERIFY(!arrived.isEmpty());
        link.close();
        link.close(); // closing twice does nothing
        QCOMPARE(link.state(), int(Link::Closed));
        QVERIFY(!link.write("x"));

        QCOMPARE(link.open(target), LinkError::None);
        QSignalSpy failed(&link, &Link::failed);
        pty.reset(); // both ends go
        QVERIFY(failed.wait(5000));
        QCOMPARE(link.state(), int(Link::Closed));
        QCOMPARE(failed.size(), 1);
        PtyPair back; // plugged in again
        QCOMPARE(link.open(LinkTarget::serial(back.slavePath(), QStringLiteral("9600,n,8,1"))),
                 LinkError::None);
    }

    // A frame out, arrivals of 8 KiB at most with every byte kept; a peer that
    // closes or resets leaves the link closed (0), a refused attempt in error (9),
    // and a new attempt starts clean.
    void tcpLink()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        TcpLink link;
        QTcpSocket *peer = nullptr;
        auto connectLink = [&] {
            link.open(LinkTarget::tcp(QStringLiteral("127.0.0.1"), server.serverPort()));
            return link.state() == Link::Connecting &&
                   QTest::qWaitFor(
                       [&] {
                           return link.state() == Link::Connected && server.hasPendingConnections();
                       },
                       5000) &&
                   (peer = server.nextPendingConnection());
        };
        QVERIFY(connectLink());
        QVERIFY(link.write(QByteArray::fromHex("010300000001840A")));
        QByteArray request;
        QTRY_VERIFY_WITH_TIMEOUT((request += peer->readAll()).size() >= 8, 5000);
        QCOMPARE(request, QByteArray::fromHex("010300000001840A"));
        QByteArray flood(20000, Qt::Uninitialized);
        for (int i = 0; i < flood.size(); ++i)
            flood[i] = char(i * 7 + i / 251);
        peer->write(flood);
        QByteArray got;
        auto arrival = connect(&link, &Link::dataArrived, this, [&] {
            const QByteArray bytes = link.readAll();
            QVERIFY(bytes.size() <= 8 * 1024);
            got += bytes;
        });
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), flood.size(), 5000);
        QCOMPARE(got, flood);
        disconnect(arrival);
        // What came before an orderly close can still be read.
        peer->write("abc");
        peer->disconnectFromHost();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), int(Link::Closed), 5000);
        QCOMPARE(link.readAll(), QByteArray("abc"));

        QVERIFY(connectLink());
        const linger hard{1, 0};
        setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        peer->abort();
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), int(Link::Closed), 5000);

        QVERIFY(connectLink());
        QSignalSpy gone(peer, &QTcpSocket::disconnected);
        link.close();
        QCOMPARE(link.state(), int(Link::Closed));
        QVERIFY(gone.wait(5000));
        QVERIFY(!link.write("x"));

        const quint16 port = server.serverPort();
        server.close(); // nothing listens there now
        QSignalSpy refused(&link, &Link::failed);
        link.open(LinkTarget::tcp(QStringLiteral("127.0.0.1"), port));
        QTRY_COMPARE_WITH_TIMEOUT(link.state(), int(Link::Error), 5000);
        // The system's reason, naming the peer.
        QCOMPARE(refused.value(0).value(0).toString(),
                 QStringLiteral("127.0.0.1:%1: Connection refused").arg(port));
        QCOMPARE(link.lastError(), refused.value(0).value(0).toString());
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QVERIFY(connectLink());
    }
};

QTEST_GUILESS_MAIN(TestLinks)
#include "tst_link.moc"
