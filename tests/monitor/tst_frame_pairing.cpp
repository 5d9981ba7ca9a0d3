// Requests paired with their replies by their layouts, as the master pairs
// them, "unknown" where a frame does not tell, and requests unanswered once
// their time-out has passed.
#include "monitor/frame_pairing.h"

#include <QTest>

using namespace tallowick;
using namespace std::chrono_literals;

class TestFramePairing : public QObject
{
    Q_OBJECT

private slots:
    // Frames "HEX FIRST END" in microseconds; each judged "role", or
    // "reply N T" (its request's number, the response time) with " exN" for
    // an exception; "#N unanswered" where a time-out passed, before the frame
    // that found it or at the end, finishAt. The counts then: requests,
    // replies, unanswered, exceptions. Time-out 1 s.
    void judge_data()
    {
        QTest::addColumn<QStringList>("frames");
        QTest::addColumn<qint64>("finishAt");
        QTest::addColumn<QStringList>("roles");
        QTest::addColumn<QString>("counts");
        const QString read1 = QStringLiteral("010300000001840A");
        const QString reply1 = QStringLiteral("01030200057847");
        const auto row = [](const char *name, const QStringList &frames, qint64 finishAt,
                            const QStringList &roles, const char *counts) {
            QTest::newRow(name) << frames << finishAt << roles << QString::fromLatin1(counts);
        };
        row("03 request and reply", {read1 + " 0 8000", reply1 + " 10000 17000"}, 20000,
            {"request", "reply 1 2000"}, "1 1 0 0");
        row("a retry within the time-out is a request, the first unanswered",
            {read1 + " 0 8000", read1 + " 100000 108000", reply1 + " 110000 117000"}, 5000000,
            {"request", "request", "reply 2 2000", "#1 unanswered"}, "2 1 1 0");
        row("a reply with the wrong byte count is not paired",
            {read1 + " 0 8000", "010304000500000000 10000 19000"}, 5000000,
            {"request", "reply", "#1 unanswered"}, "1 1 1 0");
        row("exception reply", {read1 + " 0 8000", "018302C0F1 9000 14000"}, 20000,
            {"request", "reply 1 1000 ex2"}, "1 1 0 1");
        row("06 and its echo before any pairing",
            {"010600010003980B 0 8000", "010600010003980B 9500 17500"}, 20000,
            {"unknown", "reply 1 1500"}, "1 1 0 0");
        row("a write's echo with another value is none",
            {read1 + " 0 8000", reply1 + " 10000 17000", "010600010003980B 30000 38000",
             "010600010004D9C9 40000 48000"},
            50000, {"request", "reply 1 2000", "request", "request"}, "3 1 0 0");
        row("10 and its echo",
            {"01100001000204000A01029230 0 13000", "0110000100021008 14000 22000"}, 30000,
            {"request", "reply 1 1000"}, "1 1 0 0");
        row("broadcast awaits nothing",
            {read1 + " 0 8000", reply1 + " 10000 17000", "00060001000399DA 30000 38000",
             read1 + " 3000000 3008000", reply1 + " 3010000 3017000"},
            9000000, {"request", "reply 1 2000", "request", "request", "reply 4 2000"}, "3 2 0 0");
        row("no reply within the time-out", {read1 + " 0 8000", read1 + " 2000000 2008000"},
            4000000, {"request", "#1 unanswered", "request", "#2 unanswered"}, "2 0 2 0");
        row("a reply after the time-out answers nothing",
            {read1 + " 0 8000", reply1 + " 1008001 1015001"}, 2000000,
            {"request", "#1 unanswered", "reply"}, "1 1 1 0");
        row("a reply just within the time-out", {read1 + " 0 8000", reply1 + " 1008000 1015000"},
            2000000, {"request", "reply 1 1000000"}, "1 1 0 0");
        row("of two units asked, the one that answers",
            {read1 + " 0 8000", "020300000001840A 20000 28000", reply1 + " 30000 37000"}, 50000,
            {"request", "request", "reply 1 22000"}, "2 1 0 0");
        row("a request to another unit leaves the first waiting out its time-out",
            {read1 + " 0 8000", "020300000001840A 20000 28000"}, 2000000,
            {"request", "request", "#1 unanswered", "#2 unanswered"}, "2 0 2 0");
        row("a reply before any request", {reply1 + " 0 7000", read1 + " 20000 28000"}, 30000,
            {"reply", "request"}, "1 1 0 0");
        row("too short to tell", {"01 0 1000", "0103 5000 7000"}, 10000, {"unknown", "unknown"},
            "0 0 0 0");
        row("an unanswered 06 before any pairing is no request", {"010600010003980B 0 8000"},
            5000000, {"unknown"}, "0 0 0 0");
    }
    void judge()
    {
        QFETCH(QStringList, frames);
        QFETCH(qint64, finishAt);
        FramePairing pairing(1s);
        QStringList roles;
        const auto expire = [&](qint64 now) {
            for (const Unanswered &request : pairing.expire(now)) {
                QCOMPARE(request.afterUs, qint64(1000000));
                roles << QStringLiteral("#%1 unanswered").arg(request.number);
            }
        };
        quint64 number = 0;
        for (const QString &frame : frames) {
            const QStringList words = frame.split(u' ');
            expire(words[1].toLongLong());
            const Judgement j = pairing.judge(++number, QByteArray::fromHex(words[0].toLatin1()),
                                              words[1].toLongLong(), words[2].toLongLong());
            QString role = roleName(j.role);
            if (j.replyTo)
                role += QStringLiteral(" %1 %2").arg(*j.replyTo).arg(*j.responseUs);
            if (j.exception)
                role += QStringLiteral(" ex%1").arg(*j.exception);
            roles << role;
        }
        expire(finishAt);
        QTEST(roles, "roles");
        const PairingCounts &c = pairing.counts();
        QTEST(QStringLiteral("%1 %2 %3 %4")
                  .arg(c.requests)
                  .arg(c.replies)
                  .arg(c.unanswered)
                  .arg(c.exceptions),
              "counts");
    }
};

QTEST_GUILESS_MAIN(TestFramePairing)
#include "tst_frame_pairing.moc"
