// The replies of one link on the manual clock: each waits its time from its
// request's end (and at least t3.5 on a line), goes out in order, pauses
// inside for a gap, or drops the connection and what came after it.
#include "device/reply_queue.h"

#include "support/manual_clock.h"

#include <QTest>

using namespace tallowick;
using namespace std::chrono_literals;

namespace {

// The host of the queue: the clock, and what the queue did, in order.
class Recorder : public SlaveHost
{
public:
    ServedRequest serve(LinkKind, QByteArrayView) override { return {}; }
    ServedRequest refuse(LinkKind, Result, QByteArrayView) override { return {}; }
    void done(const ServedRequest &served, const QString &, const QString &, qint64,
              std::optional<qint64> responseUs) override
    {
        events += QStringLiteral("done %1 %2 at %3")
                      .arg(served.number)
                      .arg(responseUs ? QString::number(*responseUs) : QStringLiteral("-"))
                      .arg(nowUs());
    }
    OneShotTimer *newTimer(QObject *parent) override { return clock.newTimer(parent); }
    qint64 nowUs() const override { return clock.now().count(); }

    // A link whose writes are told with their moment.
    ReplyQueue::Link link(std::function<std::chrono::nanoseconds(qsizetype)> wireTime,
                          std::chrono::microseconds least = 0us)
    {
        return {
            QStringLiteral("line"),
            {},
            [this](QByteArrayView bytes) {
                events +=
                    QStringLiteral("write %1 at %2").arg(QString::fromLatin1(bytes)).arg(nowUs());
            },
            std::move(wireTime),
            {},
            least};
    }

    test::ManualClock clock;
    QStringList events;
};

ServedRequest request(quint64 number, const char *reply, std::chrono::microseconds wait,
                      bool close = false)
{
    ServedRequest served;
    served.number = number;
    if (*reply)
        served.plan.reply = QByteArray(reply);
    served.plan.wait = wait;
    served.plan.close = close;
    return served;
}

} // namespace

class TestReplyQueue : public QObject
{
    Q_OBJECT
private slots:
    void timing_data()
    {
        QTest::addColumn<int>("leastUs");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("socket") << 0
                                << QStringList{"write abcd at 1000", "done 1 1000 at 1000",
                                               "done 2 - at 1000", "write ef at 5000",
                                               "done 3 5000 at 5000"};
        // On a line nothing goes before t3.5: the first reply waits it, the
        // third's own wait is longer.
        QTest::newRow("line") << 3646
                              << QStringList{"write abcd at 3646", "done 1 3646 at 3646",
                                             "done 2 - at 3646", "write ef at 5000",
                                             "done 3 5000 at 5000"};
    }
    void timing()
    {
        QFETCH(int, leastUs);
        QFETCH(QStringList, events);
        Recorder host;
        ReplyQueue queue(
            host, host.link([](qsizetype) { return 0ns; }, std::chrono::microseconds(leastUs)));
        queue.push(request(1, "abcd", 1ms), 0);
        // No reply: done as soon as the one before it is.
        queue.push(request(2, "", 0us), 0);
        queue.push(request(3, "ef", 5ms), 0);
        host.clock.runOut();
        QCOMPARE(host.events, events);
        QVERIFY(queue.isEmpty());
    }

    void gap()
    {
        Recorder host;
        // 1 ms a byte: the pause starts when the first two are out.
        ReplyQueue queue(host, host.link([](qsizetype bytes) { return bytes * 1ms; }));
        ServedRequest served = request(1, "abcdef", 0us);
        served.plan.gap = 5ms;
        served.plan.gapAfter = 2;
        queue.push(served, 0);
        host.clock.runOut();
        QCOMPARE(host.events,
                 (QStringList{"write ab at 0", "write cdef at 7000", "done 1 0 at 7000"}));
    }

    void close()
    {
        Recorder host;
        bool closed = false;
        ReplyQueue queue(host, {QStringLiteral("tcp"), QStringLiteral("peer"),
                                [&host](QByteArrayView bytes) {
                                    host.events +=
                                        QStringLiteral("write ") + QString::fromLatin1(bytes);
                                },
                                [](qsizetype) { return 0ns; }, [&closed] { closed = true; }, 0us});
        queue.push(request(1, "ab", 0us), 0);
        queue.push(request(2, "", 2ms, true), 0);
        queue.push(request(3, "cd", 0us), 0);
        host.clock.runOut();
        // The request after the drop is done unsent; nothing more is taken.
        QCOMPARE(host.events, (QStringList{"write ab", "done 1 0 at 0", "done 2 - at 2000",
                                           "done 3 - at 2000"}));
        QVERIFY(closed);
        queue.push(request(4, "ef", 0us), 3000);
        host.clock.runOut();
        QCOMPARE(host.events.size(), 4);
    }
};

QTEST_GUILESS_MAIN(TestReplyQueue)
#include "tst_reply_queue.moc"
