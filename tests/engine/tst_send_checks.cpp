// The checks a Send, a repeat run and the serial link make of the typed
// settings, as pure functions, one row per rule. How the engine answers a
// refusal is a row of its exchange table.
#include "engine/numeric_value.h"
#include "engine/send_checks.h"
#include "links/serial_settings.h"

#include <QTest>
#include <cmath>

using namespace tallowick;

namespace {
template <typename T> T fetch(const char *column)
{
    return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>()));
}
} // namespace

class TestSendChecks : public QObject
{
    Q_OBJECT
private slots:
    void settingsComplaint_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("timeout");
        QTest::addColumn<int>("mask");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("status");
        const auto row = [](const QString &a, const QString &p, const QString &t, int mask,
                            const QString &message, const QString &status) {
            QTest::addRow("mask %d", mask) << a << p << t << mask << message << status;
        };
        // Blanks are not empty: mask 0 stands for a line number of 0 or less.
        row(" ", " ", " ", 0, "What instruction execution?!", "Check send command.");
        row("", "1560", "3000", 1, "IP is Null.", "Check IP setting.");
        row("h", "", "3000", 2, "Port is Null.", "Check Port setting.");
        row("", "", "3000", 3, "IP is Null.\r\nPort is Null.", "Check IP and Port settings.");
        row("h", "1560", "", 4, "Timeout is Null.", "Check Timeout setting.");
        row("", "1560", "", 5, "IP is Null.\r\nTimeout is Null.", "Check IP and Timeout settings.");
        row("h", "", "", 6, "Port is Null.\r\nTimeout is Null.", "Port IP and Timeout settings.");
        row("", "", "", 7, "IP is Null.\r\nPort is Null.\r\nTimeout is Null.",
            "Port IP and Port and Timeout settings.");
    }

    void settingsComplaint()
    {
        QFETCH(int, mask);
        QCOMPARE(checkNullMask(fetch<QString>("address"), fetch<QString>("port"),
                               fetch<QString>("timeout")),
                 mask);
        const SettingsComplaint complaint = tallowick::settingsComplaint(mask);
        QTEST(complaint.message, "message");
        QTEST(complaint.status, "status");
    }

    // A text and what each reader makes of it: its numeric value and that value
    // rounded, the reply timer's interval in ms, the TCP port, the serial device;
    // -1 and "" for a refusal. The bounds of each reader, and texts far beyond
    // them, are seeds of the numeric_value and serial_settings harnesses, which
    // check every reader against the value.
    void fieldValues_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("rounded");
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
        const auto row = [](const QString &text, double value, double rounded, qint64 interval,
                            int port, const QString &device) {
            QTest::newRow(qPrintable(text.left(24)))
                << text << value << rounded << interval << port << device;
        };
        row("", 0, 0, 1, -1, "");
        row("abc", 0, 0, 1, -1, "/dev/abc");
        row("0", 0, 0, 1, -1, "");
        row(" \t1 2\n3", 123, 123, 123, 123, ""); // blanks, tabs, line feeds skipped
        row("1\r2", 1, 1, 1, 1, "");
        row("-0.5", -0.5, -0.0, 1, -1, "");
        row("+5", 5, 5, 5, 5, "");
        row("0.4", 0.4, 0, 1, -1, "");
        row(".6", 0.6, 1, 1, -1, "");
        row("1", 1, 1, 1, 1, "/dev/ttyS0");
        row("1.5", 1.5, 2, 2, -1, "");
        row(" 2 ", 2, 2, 2, 2, "/dev/ttyS1");
        row("2.5", 2.5, 2, 2, -1, "");
        row("-1", -1, -1, 1, -1, "");
        row("1.2.3", 1.2, 1, 1, -1, "");
        row("1e5", 1, 1, 1, 1, "");
        row("300ms", 300, 300, 300, 300, "");
        row("&H10", 16, 16, 16, 16, "");
        row("&h5 d c", 1500, 1500, 1500, 1500, "");
        row("&HAf", 175, 175, 175, 175, "");
        row("32767", 32767, 32767, 32767, 32767, "/dev/ttyS32766");
        row("ttyUSB0", 0, 0, 1, -1, "/dev/ttyUSB0");
        row("/dev/serial/by-id/usb-x", 0, 0, 1, -1, "/dev/serial/by-id/usb-x");
        row("tty S0", 0, 0, 1, -1, "");
        row("..", 0, 0, 1, -1, "");
        row("a/b", 0, 0, 1, -1, "");
    }

    void fieldValues()
    {
        QFETCH(QString, text);
        QFETCH(double, rounded);
        QTEST(numericValue(text), "value");
        QCOMPARE(roundHalfEven(numericValue(text)), rounded);
        QCOMPARE(std::signbit(roundHalfEven(numericValue(text))), std::signbit(rounded));
        QTEST(qint64(replyTimerInterval(text).value_or(std::chrono::milliseconds(-1)).count()),
              "interval");
        QTEST(tcpPort(text).has_value() ? int(*tcpPort(text)) : -1, "port");
        QTEST(serialDevicePath(text).value_or(QString()), "device");
    }

    void lineSettings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // baud, parity, data bits, stop bits; "" refused
        const auto row = [](const QString &text, const QString &read) {
            QTest::newRow(qPrintable(text)) << text << read;
        };
        row("9600,n,8,1", "9600 n 8 1");
        row("19200,E,7,2", "19200 e 7 2");
        row("115200,o,5,1.5", "115200 o 5 1.5");
        row("4800,m,6,1", "4800 m 6 1");
        row(" 1200 , S , 8 , 1 ", "1200 s 8 1");
        for (const char *refused :
             {"9600,x,8,1", "9600,n,9,1", "9600,n,4,1", "9600,n,8,3", "9600,n,8", "9600,n,8,1,1",
              "fast,n,8,1", "0,n,8,1", "+9600,n,8,1", ""})
            row(refused, "");
    }

    void lineSettings()
    {
        QFETCH(QString, text);
        const auto settings = parseLineSettings(text);
        QString read;
        if (settings) {
            const QString stop = settings->stopBits == QSerialPort::OneAndHalfStop
                                     ? QStringLiteral("1.5")
                                     : QString::number(int(settings->stopBits));
            read = QStringLiteral("%1 %2 %3 %4")
                       .arg(settings->baudRate)
                       .arg(QStringLiteral("n?eosm").at(int(settings->parity)))
                       .arg(int(settings->dataBits))
                       .arg(stop);
        }
        QTEST(read, "read");
    }

    void repeatBounds_data()
    {
        QTest::addColumn<QString>("rCNT");
        QTest::addColumn<QString>("rpStart");
        QTest::addColumn<QString>("rpStop");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<bool>("countValid"); // may start or stop a run
        QTest::addColumn<bool>("startValid"); // may start one
        QTest::addColumn<qint64>("pause");
        const auto row = [](const char *name, const QString &count, const QString &start,
                            const QString &stop, const QString &pause, bool countValid,
                            bool startValid, qint64 pauseMs) {
            QTest::newRow(name) << count << start << stop << pause << countValid << startValid
                                << pauseMs;
        };
        row("valid", "2", "1", "3", "1000", true, true, 1000);
        row("count empty", "", "1", "3", "1000", false, false, 1000);
        row("count zero", "0", "1", "3", "1000", false, false, 1000);
        row("count 0.5 rounds to none", "0.5", "1", "3", "1000", true, false, 1000);
        row("count 0.6 rounds to one", "0.6", "1", "3", "1000", true, true, 1000);
        row("count 32767", "32767", "1", "3", "1000", true, true, 1000);
        row("count 32768", "32768", "1", "3", "1000", true, false, 1000);
        row("stop line 15.9", "2", "1", "15.9", "1000", true, true, 1000);
        row("stop line 16", "2", "1", "16", "1000", false, false, 1000);
        row("stop line 0", "2", "1", "0", "1000", true, false, 1000);
        row("start line 0", "2", "0", "3", "1000", true, false, 1000);
        row("start line 15.5 rounds to the last", "2", "15.5", "15", "1000", true, true, 1000);
        row("start line 15.6 rounds past the last", "2", "15.6", "15", "1000", true, false, 1000);
        row("stop line beyond every line", "2", "1", "99999999999", "1000", false, false, 1000);
        row("start above stop", "2", "3", "2", "1000", true, true, 1000);
        row("pause 1.5 rounds to 2", "2", "1", "3", "1.5", true, true, 2);
        row("pause 0.5 rounds to none", "2", "1", "3", "0.5", true, false, 0);
        row("pause negative", "2", "1", "3", "-10", true, false, 0);
        row("pause largest", "2", "1", "3", "2147483647", true, true, 2147483647);
        row("pause too long, kept in range", "2", "1", "3", "2147483648", true, false, 2147483647);
    }

    void repeatBounds()
    {
        const RepeatFields fields{fetch<QString>("rCNT"), fetch<QString>("rpStart"),
                                  fetch<QString>("rpStop"), fetch<QString>("repeat")};
        QTEST(repeatCountValid(fields), "countValid");
        QTEST(repeatStartValid(fields), "startValid");
        QTEST(qint64(repeatPause(fields).count()), "pause");
    }
};

QTEST_MAIN(TestSendChecks)
#include "tst_send_checks.moc"
