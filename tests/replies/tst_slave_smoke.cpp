// One good exchange through the real window against the independent libmodbus
// slave (tests/peers/rtu_slave.cpp), on a pty and over loopback TCP. The
// reply comes in well under a millisecond; the waits allow seconds.
#include "support/exchange.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tallowick::test;

class TestSlaveSmoke : public QObject
{
    Q_OBJECT
private slots:
    void exchange_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("pty") << "pty";
        QTest::newRow("tcp") << "tcp";
    }

    void exchange()
    {
        QFETCH(QString, mode);
        SlavePeer slave(mode);
        QVERIFY(slave.isRunning());
        WindowFixture f(true);
        const bool serial = mode == u"pty";
        play(f, (serial ? "click modeSelect; comSelect=" : "port=") + slave.where() +
                    "; timeout=10000; connect_1=1; cmd_0=010300000001; click send");
        QCOMPARE(f.ui().send->text(), QStringLiteral("Stop"));
        QVERIFY(!f.ui().modeSelect->isEnabled());
        QVERIFY(f.waitIdle(20000));
        QVERIFY(f.ui().modeSelect->isEnabled());
        QVERIFY(!f.ui().Timer->isActive());
        // Newest first; a reply entry ends in one line break, the others in two.
        QStringList expected{"接收 < 0103020005 7847", "傳送CMD1： > 010300000001 840A", ""};
        if (!serial)
            expected << "-------正在連線-------"
                     << ""
                     << "IP:127.0.0.1:" + slave.where() << "";
        QCOMPARE(logLines(f.logText()), expected << "");
        // The state label shows the TCP link's state, kept open here.
        QTest::keyClick(f.ui().send, '-');
        QTRY_COMPARE_WITH_TIMEOUT(f.ui().winsockstatus->text(),
                                  QStringLiteral("winsock status :") + (serial ? u'0' : u'7'),
                                  5000);
        QTest::keyClick(f.ui().send, '-');
        QVERIFY(f.ui().winsockstatus->isHidden());
        QVERIFY(!f.ui().winsockchk->isActive());
    }
};

QTEST_MAIN(TestSlaveSmoke)
#include "tst_slave_smoke.moc"
