#include "links/serial_link.h"
#include "links/serial_settings.h"
#include "support/pty_pair.h"

#include <QSignalSpy>
#include <QTest>

using namespace tallowick;
using tallowick::test::PtyPair;

class TestSerialLink : public QObject
{
    Q_OBJECT
private slots:
    void devicePaths_data();
    void devicePaths();
    void lineSettings_data();
    void lineSettings();
    void openErrors_data();
    void openErrors();
    void bytesBothWays();
    void deviceGoneWhileOpen();
};

void TestSerialLink::devicePaths_data()
{
    QTest::addColumn<QString>("comSelect");
    QTest::addColumn<QString>("path"); // empty: names no port
    QTest::newRow("first port") << "1" << "/dev/ttyS0";
    QTest::newRow("third port") << "3" << "/dev/ttyS2";
    QTest::newRow("blanks around") << " 2 " << "/dev/ttyS1";
    QTest::newRow("zero") << "0" << "";
    QTest::newRow("negative") << "-1" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("absolute path") << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("by-id path") << "/dev/serial/by-id/usb-x-if00" << "/dev/serial/by-id/usb-x-if00";
    QTest::newRow("bare name") << "ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("climbing name") << ".." << "";
    QTest::newRow("name with slash") << "a/b" << "";
    QTest::newRow("fraction") << "1.5" << "";
}

void TestSerialLink::devicePaths()
{
    QFETCH(QString, comSelect);
    QFETCH(QString, path);
    QCOMPARE(serialDevicePath(comSelect).value_or(QString()), path);
}

void TestSerialLink::lineSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("default") << "9600,n,8,1" << true << 9600 << int(QSerialPort::NoParity) << 8
                             << int(QSerialPort::OneStop);
    QTest::newRow("even upper case") << "19200,E,7,2" << true << 19200
                                     << int(QSerialPort::EvenParity) << 7
                                     << int(QSerialPort::TwoStop);
    QTest::newRow("odd, one and a half") << "115200,o,5,1.5" << true << 115200
                                         << int(QSerialPort::OddParity) << 5
                                         << int(QSerialPort::OneAndHalfStop);
    QTest::newRow("mark") << "4800,m,6,1" << true << 4800 << int(QSerialPort::MarkParity) << 6
                          << int(QSerialPort::OneStop);
    QTest::newRow("space") << "1200,S,8,1" << true << 1200 << int(QSerialPort::SpaceParity) << 8
                           << int(QSerialPort::OneStop);
    QTest::newRow("unknown parity") << "9600,x,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("data bits 9") << "9600,n,9,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("stop bits 3") << "9600,n,8,3" << false << 0 << 0 << 0 << 0;
    QTest::newRow("too few parts") << "9600,n,8" << false << 0 << 0 << 0 << 0;
    QTest::newRow("baud not a number") << "fast,n,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("baud zero") << "0,n,8,1" << false << 0 << 0 << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0 << 0 << 0;
}

void TestSerialLink::lineSettings()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const auto settings = parseLineSettings(text);
    QCOMPARE(settings.has_value(), valid);
    if (!valid)
        return;
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    QCOMPARE(settings->baudRate, baud);
    QCOMPARE(int(settings->parity), parity);
    QCOMPARE(int(settings->dataBits), dataBits);
    QCOMPARE(int(settings->stopBits), stopBits);
}

void TestSerialLink::openErrors_data()
{
    QTest::addColumn<QString>("comSelect");
    QTest::addColumn<QString>("configCom");
    QTest::addColumn<int>("error");
    QTest::newRow("no such device") << "/dev/tallowick-no-such-port" << "9600,n,8,1"
                                    << int(LinkError::InvalidPort);
    QTest::newRow("names no port") << "0" << "9600,n,8,1" << int(LinkError::InvalidPort);
    QTest::newRow("bad parity letter") << "PTY" << "9600,q,8,1" << int(LinkError::InvalidSettings);
    QTest::newRow("in use") << "BUSY" << "9600,n,8,1" << int(LinkError::Other);
}

void TestSerialLink::openErrors()
{
    QFETCH(QString, comSelect);
    QFETCH(QString, configCom);
    QFETCH(int, error);
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialLink holder;
    if (comSelect == u"BUSY")
        QCOMPARE(holder.open(LinkTarget::serial(pty.slavePath(), configCom)), LinkError::None);
    if (comSelect == u"PTY" || comSelect == u"BUSY")
        comSelect = pty.slavePath();
    SerialLink link;
    QCOMPARE(int(link.open(LinkTarget::serial(comSelect, configCom))), error);
    QVERIFY(!link.isOpen());
}

void TestSerialLink::bytesBothWays()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    SerialLink link;
    QCOMPARE(link.open(LinkTarget::serial(pty.slavePath(), QStringLiteral("19200,e,8,1"))), LinkError::None);
    QVERIFY(link.isOpen());
    QCOMPARE(link.baudRate(), 19200);

    // Every byte value, including those a terminal would translate.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QVERIFY(link.write(all));
    QByteArray onWire;
    QTRY_VERIFY_WITH_TIMEOUT((onWire += pty.read(0, 0), onWire.size() >= all.size()), 3000);
    QCOMPARE(onWire, all);

    QSignalSpy received(&link, &Link::dataArrived);
    pty.write(all);
    QByteArray got;
    QTRY_VERIFY_WITH_TIMEOUT((got += link.readAll(), got.size() == all.size()), 3000);
    QCOMPARE(got, all);
    QVERIFY(received.count() >= 1);

    link.close();
    QVERIFY(!link.isOpen());
    link.close(); // closing twice does nothing
    QVERIFY(!link.write("x"));
}

void TestSerialLink::deviceGoneWhileOpen()
{
    auto pty = std::make_unique<PtyPair>();
    SerialLink link;
    QCOMPARE(link.open(LinkTarget::serial(pty->slavePath(), QStringLiteral("9600,n,8,1"))), LinkError::None);
    QSignalSpy failed(&link, &SerialLink::failed);
    pty.reset(); // the far end and the device vanish
    QTRY_VERIFY_WITH_TIMEOUT(!link.isOpen(), 3000);
    QCOMPARE(failed.count(), 1);
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_serial_link.moc"
