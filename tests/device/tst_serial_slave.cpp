// Requests cut from a line by its silences, on the manual clock: bytes go
// into a real pty at moments the test chooses, and the slave stamps each
// delivery with the clock's time. At 9600,n,8,1 a character is 1.042 ms,
// t3.5 3.646 ms, and a request ends 4.688 ms after its last delivery.
#include "device/map_file.h"
#include "device/serial_slave.h"
#include "links/serial_line_setup.h"

#include "support/manual_clock.h"
#include "support/pty_pair.h"

#include <QTest>

#include <poll.h>

using namespace tallowick;
using namespace std::chrono_literals;

namespace {

class Host : public SlaveHost
{
public:
    Host()
        : m_core(std::get<DeviceMap>(
                     parseMap("table,address,type,value\nholding,0-124,u16,7\n", QString())),
                 {}, FaultRules({}, 1))
    {
    }
    ServedRequest serve(LinkKind kind, QByteArrayView request) override
    {
        return m_core.serve(kind, request);
    }
    ServedRequest refuse(LinkKind kind, Result result, QByteArrayView bytes) override
    {
        return m_core.refuse(kind, result, bytes);
    }
    void done(const ServedRequest &served, const QString &, const QString &, qint64 endUs,
              std::optional<qint64> responseUs) override
    {
        records += QStringLiteral("%1 %2 end %3 after %4")
                       .arg(QString::fromLatin1(served.request.toHex().toUpper()),
                            resultName(served.result))
                       .arg(endUs)
                       .arg(responseUs ? QString::number(*responseUs) : QStringLiteral("-"));
    }
    OneShotTimer *newTimer(QObject *parent) override { return clock.newTimer(parent); }
    qint64 nowUs() const override { return clock.now().count(); }

    test::ManualClock clock;
    QStringList records;

private:
    DeviceCore m_core;
};

} // namespace

class TestSerialSlave : public QObject
{
    Q_OBJECT
private slots:
    void cut_data()
    {
        // Deliveries: "AT_US:HEX" (the clock's time, the bytes written then),
        // "AT_US:" the clock's time alone, or "~AT_US:HEX" the bytes written
        // at once but the slave too busy to look before the clock reaches AT_US.
        QTest::addColumn<QStringList>("deliveries");
        QTest::addColumn<QStringList>("records");
        const QString read = QStringLiteral("010300000002C40B");
        const QString answered = read + QStringLiteral(" answered");
        QTest::newRow("one delivery")
            << QStringList{"0:" + read} << QStringList{answered + " end 0 after 4688"};
        // The second half came 4.5 ms after the first: 4.167 ms of it were
        // its own four characters, the silence only 0.333 ms.
        QTest::newRow("a silence is what the bytes' wire time leaves")
            << QStringList{"0:01030000", "4500:0002C40B"}
            << QStringList{answered + " end 4500 after 4688"};
        // The same with a wrong CRC: one frame, not two pieces the hold-back
        // could not join.
        QTest::newRow("a short silence keeps a bad frame one")
            << QStringList{"0:01030000", "4500:0002C40C"}
            << QStringList{"010300000002C40C bad-crc end 4500 after -"};
        // 10 ms between the halves is a silence past t3.5 (a late read, a
        // batching adapter): the halves together end in a good CRC.
        QTest::newRow("two pieces, one request") << QStringList{"0:01030000", "10000:0002C40B"}
                                                 << QStringList{answered + " end 10000 after 4688"};
        QTest::newRow("pieces too far apart stay pieces")
            << QStringList{"0:01030000", "40000:0002C40B"}
            << QStringList{"01030000 bad-crc end 0 after -", "0002C40B bad-crc end 40000 after -"};
        // The hold-back ran out while the rest of the frame waited unread.
        QTest::newRow("a slave woken late still joins the pieces")
            << QStringList{"0:01030000", "10000:", "~30000:0002C40B"}
            << QStringList{answered + " end 24688 after 4688"};
        QTest::newRow("two requests after a silence")
            << QStringList{"0:" + read, "8000:" + read}
            << QStringList{answered + " end 0 after 4688", answered + " end 8000 after 4688"};
        QTest::newRow("noise, then a request")
            << QStringList{"0:FF", "10000:" + read}
            << QStringList{"FF too-short end 0 after -", answered + " end 10000 after 4688"};
    }
    void cut()
    {
        QFETCH(QStringList, deliveries);
        QFETCH(QStringList, records);
        test::PtyPair pty;
        QVERIFY(pty.isValid());
        const auto line = openLine(pty.slavePath(), LineSettings{}, LineUse::Answer);
        QVERIFY(std::holds_alternative<int>(line));
        const int fd = std::get<int>(line);
        Host host;
        SerialSlave slave(fd, pty.slavePath(), lineTiming(LineSettings{}), host);
        slave.start();
        for (const QString &delivery : deliveries) {
            const qsizetype colon = delivery.indexOf(u':');
            const bool late = delivery.startsWith(u'~');
            const auto at = std::chrono::microseconds(
                delivery.sliced(late ? 1 : 0, colon - (late ? 1 : 0)).toLongLong());
            if (!late)
                host.clock.advance(at - host.clock.now());
            const QByteArray bytes = QByteArray::fromHex(delivery.mid(colon + 1).toLatin1());
            if (bytes.isEmpty())
                continue;
            pty.write(bytes);
            // The bytes are there to read: the slave reads them in its turn.
            pollfd readable{fd, POLLIN, 0};
            QVERIFY(::poll(&readable, 1, 10000) == 1);
            if (late)
                host.clock.advance(at - host.clock.now());
            QCoreApplication::processEvents();
        }
        host.clock.runOut();
        QCOMPARE(host.records, records);
    }

    // Replies faster than the master reads them (125 registers each, 500 of
    // them): the line's buffer fills, and what it did not take of a reply
    // goes out as it drains, every reply whole and in order.
    void fullLineBuffer()
    {
        test::PtyPair pty;
        QVERIFY(pty.isValid());
        const auto line = openLine(pty.slavePath(), LineSettings{}, LineUse::Answer);
        QVERIFY(std::holds_alternative<int>(line));
        const int fd = std::get<int>(line);
        Host host;
        SerialSlave slave(fd, pty.slavePath(), lineTiming(LineSettings{}), host);
        slave.start();
        constexpr int requests = 500;
        for (int i = 0; i < requests; ++i) {
            pty.write(QByteArray::fromHex("01030000007D85EB"));
            pollfd readable{fd, POLLIN, 0};
            QVERIFY(::poll(&readable, 1, 10000) == 1);
            QCoreApplication::processEvents();
            host.clock.advance(10ms);
        }
        QByteArray replies;
        const auto take = [&pty, &replies] {
            char buffer[65536];
            for (pollfd ready{pty.masterFd(), POLLIN, 0}; ::poll(&ready, 1, 0) == 1;) {
                const ssize_t n = ::read(pty.masterFd(), buffer, sizeof buffer);
                if (n <= 0)
                    break;
                replies.append(buffer, n);
            }
            return replies.size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(take(), qsizetype(requests) * 255, 30000);
        // 0103FA, 125 times 0007, and the CRC (from outside the code).
        const QByteArray reply =
            QByteArray::fromHex("0103FA") + QByteArray::fromHex("0007").repeated(125) +
            QByteArray::fromHex("E290");
        QCOMPARE(replies, reply.repeated(requests));
        QCOMPARE(host.records.size(), requests);
    }
};

QTEST_GUILESS_MAIN(TestSerialSlave)
#include "tst_serial_slave.moc"
