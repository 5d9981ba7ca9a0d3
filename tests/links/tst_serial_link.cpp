// The serial link tells when a written frame has left the port, and the
// runner times a serial exchange from that moment, not from the write's
// return. A pty drains at once, so the port here is a pty whose drain is a
// line that takes a known time to carry the request; the device answers once
// the line has carried all of it.
#include "platform/exit_status.h"
#include "run/headless_run.h"
#include "run/slot_inputs.h"
#include "support/pty_pair.h"

#include <QSignalSpy>
#include <QTest>

#include <mutex>
#include <thread>

using namespace tallowick;
using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// Reads holding register 0 of unit 1; the reply and its CRC worked out with
// python3 (the CRC-16 of Modbus, 0xA001 reflected): 0103020005 7847.
const QString request = QStringLiteral("010300000001");
const QByteArray reply = QByteArray::fromHex("01030200057847");

struct Kept
{
    ExchangeRecord record;
    Steady::time_point at; // when the record was told
};

class KeepRecords : public RecordSink
{
public:
    void record(const ExchangeRecord &record) override { kept.push_back({record, Steady::now()}); }
    void finish(const ExchangeStats &) override {}
    std::vector<Kept> kept;
};

} // namespace

class TestSerialResponseTime : public QObject
{
    Q_OBJECT
private slots:
    void fromDrainedPort_data()
    {
        QTest::addColumn<bool>("singleSend");
        QTest::addColumn<bool>("keepLink");
        QTest::addColumn<int>("exchanges");
        QTest::newRow("one exchange") << true << false << 1;
        // Each exchange its own drain, the port closed and opened in between.
        QTest::newRow("three lines, link dropped") << false << false << 3;
        QTest::newRow("three lines, link kept") << false << true << 3;
    }
    void fromDrainedPort()
    {
        QFETCH(bool, singleSend);
        QFETCH(bool, keepLink);
        QFETCH(int, exchanges);
        test::PtyPair pty;
        QVERIFY(pty.isValid());

        RunOptions options;
        options.serialPort = pty.slavePath();
        options.keepLink = keepLink;
        options.values[TimeoutValue] = QStringLiteral("5000");
        if (singleSend) {
            options.values[LineNumberValue] = QStringLiteral("1");
        } else {
            options.values[FirstLineValue] = QStringLiteral("1");
            options.values[LastLineValue] = QStringLiteral("3");
            options.values[PassesValue] = QStringLiteral("1");
            options.values[PauseValue] = QStringLiteral("1");
        }
        for (int line = 0; line < 3; ++line)
            options.values[commandValue(line)] = request;
        const SlotInputs inputs(designDefaults(), options);

        // 300 ms on the line: what 360 bytes take at 9600 baud. The write
        // returns long before.
        constexpr auto lineTime = 300ms;
        std::mutex guard;
        std::vector<Steady::time_point> drainedAt;
        KeepRecords sink;
        RunRecording recording;
        recording.sinks.push_back(&sink);
        recording.serialDrain = [&](int) {
            std::this_thread::sleep_for(lineTime);
            const Steady::time_point at = Steady::now();
            {
                const std::lock_guard lock(guard);
                drainedAt.push_back(at);
            }
            pty.write(reply);
            return at;
        };
        HeadlessRun run(inputs, true, singleSend, nullptr, stderr, recording);
        QSignalSpy finished(&run, &HeadlessRun::finished);
        run.start();
        QVERIFY(finished.wait(30'000));
        QCOMPARE(finished.first().first().toInt(), exit_status::done);

        const std::lock_guard lock(guard);
        QCOMPARE(int(sink.kept.size()), exchanges);
        QCOMPARE(int(drainedAt.size()), exchanges);
        for (int i = 0; i < exchanges; ++i) {
            const Kept &kept = sink.kept[size_t(i)];
            QCOMPARE(kept.record.outcome, ExchangeOutcome::Ok);
            QVERIFY(kept.record.response.has_value());
            // The reply's last byte came after the drain and before the
            // record was told; counted from the write, the time would hold
            // the 300 ms on the line as well.
            const auto response = *kept.record.response;
            QVERIFY2(response >= 0us, qPrintable(QString::number(response.count())));
            QVERIFY2(response <= kept.at - drainedAt[size_t(i)],
                     qPrintable(QStringLiteral("%1 us, the record %2 us after the drain")
                                    .arg(response.count())
                                    .arg(std::chrono::duration_cast<std::chrono::microseconds>(
                                             kept.at - drainedAt[size_t(i)])
                                             .count())));
        }
    }
};

QTEST_GUILESS_MAIN(TestSerialResponseTime)
#include "tst_serial_link.moc"
