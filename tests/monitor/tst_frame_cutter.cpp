// The frame cutter's rule as a table of deliveries: where frames end, the
// times of their first and last bytes, the silences before and inside them,
// the CRC split of a batch and the joining of pieces an adapter held apart.
// The times are worked out by hand from the character of the settings
// (9600,n,8,1: 1041.667 us, t1.5 1563 us, t3.5 3646 us; 115200,e,8,1:
// 95.486 us, 750 us, 1750 us). That a line which never falls silent is cut
// at FrameCutter::longestRun, fuzz_bus_monitor checks on its seeds.
#include "monitor/frame_cutter.h"

#include <QTest>

using namespace tallowick;

namespace {

// "HEX first end gap[ inner N][ split][ joined]", the gap "-" for the first frame.
QString described(const CutFrame &frame)
{
    QString text = QStringLiteral("%1 %2 %3 %4")
                       .arg(QString::fromLatin1(frame.bytes.toHex().toUpper()))
                       .arg(frame.firstByteUs)
                       .arg(frame.endUs)
                       .arg(frame.gapUs ? QString::number(*frame.gapUs) : QStringLiteral("-"));
    if (frame.innerGapUs)
        text += QStringLiteral(" inner %1").arg(*frame.innerGapUs);
    if (frame.split)
        text += QStringLiteral(" split");
    if (frame.joined)
        text += QStringLiteral(" joined");
    return text;
}

// A monitor whose timer is punctual: it wakes at each deadline before nowUs.
void wakeUntil(FrameCutter &cutter, qint64 nowUs, QStringList &frames)
{
    while (const auto deadline = cutter.deadline()) {
        if (*deadline > nowUs)
            break;
        for (const CutFrame &frame : cutter.silence(*deadline))
            frames << described(frame);
    }
}

} // namespace

class TestFrameCutter : public QObject
{
    Q_OBJECT

private slots:
    // A script of steps, ";" between them, times in microseconds:
    // "F HEX T" one delivery of the bytes at T; "B HEX T [S@K]" the bytes one
    // a delivery as the line carries them, the first at T, each next one
    // character later, with S more of silence before byte K; "R HEX T" a
    // delivery read late (the timer did not wake before it); "S T" the line
    // silent until T; "E" the end of the watch. Before F, B and S the timer
    // wakes at every deadline that passes.
    void cuts_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("frames");
        const QString read = QStringLiteral("010300000001840A");
        const QString both = read + QStringLiteral("01030200057847");
        // At 9600,n,8,1 unless the row says otherwise.
        const auto row = [](const char *name, const QString &script, const QStringList &frames,
                            const char *settings = "9600,n,8,1") {
            QTest::newRow(name) << QString::fromLatin1(settings) << script << frames;
        };
        row("9600: an inner silence of t3.5 less half a character",
            "B " + read + " 10000 3125@4; S 100000", {read + " 8958 20416 - inner 3125"});
        row("9600: a silence of t3.5 and half a character", "B " + both + " 10000 4167@8; S 100000",
            {read + " 8958 17291 -", "01030200057847 21458 28750 4167"});
        row("115200: an inner silence of t3.5 less half a character",
            "B " + read + " 10000 1702@4; S 100000", {read + " 9904 12370 - inner 1701"},
            "115200,e,8,1");
        row("115200: a silence of t3.5 and half a character",
            "B " + both + " 10000 1798@8; S 100000",
            {read + " 9904 10668 -", "01030200057847 12465 13134 1797"}, "115200,e,8,1");
        // The reader slept through the hold-back: it never saw the line
        // quiet that long, however late it stamps the rest.
        row("a piece read late, after the hold-back, is still joined",
            "F 0103000000 20000; R 01840A 44125; S 100000",
            {read + " 14791 44125 - inner 21000 joined"});
        row("a batch stays open until t3.5 and a character after it",
            "F " + read + " 10000; S 14687", {});
        row("a batch ended t3.5 and a character after it", "F " + read + " 10000; S 14688",
            {read + " 1666 10000 -"});
        row("request and reply in one batch, split by their CRC", "F " + both + " 30000; S 100000",
            {read + " 14375 22708 - split", "01030200057847 22708 30000 0 split"});
        row("a late read: its bytes' own silence, shorter than t1.5",
            "F 0103 10000; R 00000001840A 16750; S 100000", {read + " 7916 16750 -"});
        row("two pieces with wrong CRCs that make one frame",
            "F 0103000000 20000; F 01840A 33125; S 100000",
            {read + " 14791 33125 - inner 10000 joined"});
        row("a frame parted twice", "F 0103 20000; F 000000 29125; F 01840A 38250; S 100000",
            {read + " 17916 38250 - inner 6000 joined"});
        row("noise before the pieces stays apart",
            "F FF 10000; F 0103000000 20000; F 01840A 33125; S 100000",
            {"FF 8958 10000 -", read + " 14791 33125 4791 inner 10000 joined"});
        row("a late delivery: a frame's last piece and the next frame",
            "F 0103000000 20000; F 01840A01030200057847 36417; S 100000",
            {read + " 14791 29125 - inner 6000 joined", "01030200057847 29125 36417 0 split"});
        row("pieces further apart than an adapter holds bytes back",
            "F 0103000000 20000; F 01840A 44125; S 100000",
            {"0103000000 14791 20000 -", "01840A 41000 44125 21000"});
        row("a wrong CRC that splits nowhere", "F 010300000001840B 10000; E",
            {"010300000001840B 1666 10000 -"});
        row("good CRCs at lengths the function code does not allow", "F 0141C0100141C010 10000; E",
            {"0141C0100141C010 1666 10000 -"});
        row("a good frame, then a bad one, in one batch: parted after the good one",
            "F 010300000001840A01030200057848 30000; E",
            {read + " 14375 22708 - split", "01030200057848 22708 30000 0 split"});
        // Held, as any piece with a wrong CRC, for the rest an adapter kept.
        row("a good frame and half a frame in one batch, the rest later",
            "F 010300000001840A010302 25833; F 00057847 34125; S 100000",
            {read + " 14374 22708 - split",
             "01030200057847 22708 34125 0 inner 4125 split joined"});
        row("a bad first part with a good rest stays whole",
            "F 010300000001840B01030200057847 30000; E",
            {"010300000001840B01030200057847 14375 30000 -"});
        row("bytes sooner than the line can carry them keep their order", "F 01 5000; F 03 5200; E",
            {"0103 3958 5200 -"});
    }
    void cuts()
    {
        QFETCH(QString, settings);
        QFETCH(QString, script);
        const LineTiming timing = lineTiming(*parseLineSettings(settings));
        FrameCutter cutter(timing);
        QStringList frames;
        const auto take = [&frames](const std::vector<CutFrame> &ended) {
            for (const CutFrame &frame : ended)
                frames << described(frame);
        };
        for (const QString &step : script.split(u';')) {
            const QStringList words = step.trimmed().split(u' ');
            const QByteArray bytes = QByteArray::fromHex(words.value(1).toLatin1());
            const qint64 at = words.value(words[0] == u"S" ? 1 : 2).toLongLong();
            if (words[0] == u"B") {
                const QStringList pause = words.value(3, QStringLiteral("0@0")).split(u'@');
                for (qsizetype i = 0; i < bytes.size(); ++i) {
                    const qint64 ns = at * 1000 + i * timing.character.count() +
                                      (i >= pause[1].toInt() ? pause[0].toLongLong() * 1000 : 0);
                    wakeUntil(cutter, ns / 1000, frames);
                    take(cutter.feed(bytes.sliced(i, 1), ns / 1000));
                }
            } else if (words[0] == u"F" || words[0] == u"R") {
                if (words[0] == u"F")
                    wakeUntil(cutter, at, frames);
                take(cutter.feed(bytes, at));
            } else if (words[0] == u"S") {
                wakeUntil(cutter, at, frames);
            } else {
                take(cutter.flush());
            }
        }
        QTEST(frames, "frames");
    }

    void deadlineFollowsTheLastDelivery()
    {
        FrameCutter cutter(lineTiming(LineSettings{}));
        QVERIFY(!cutter.deadline());
        cutter.feed(QByteArray::fromHex("0103"), 2000);
        QCOMPARE(*cutter.deadline(), qint64(6688));
        QVERIFY(cutter.silence(6687).empty());
        cutter.feed(QByteArray::fromHex("00"), 4000);
        QCOMPARE(*cutter.deadline(), qint64(8688));
        // A piece with a wrong CRC waits out an adapter's hold-back.
        QVERIFY(cutter.silence(8688).empty());
        QCOMPARE(*cutter.deadline(), qint64(24000));
        QCOMPARE(cutter.silence(24000).size(), std::size_t(1));
        QVERIFY(!cutter.deadline());
    }
};

QTEST_GUILESS_MAIN(TestFrameCutter)
#include "tst_frame_cutter.moc"
