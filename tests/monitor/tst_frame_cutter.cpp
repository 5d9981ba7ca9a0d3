// The frame cutter on scripted times: where frames end, the times of their
// first and last bytes, the silences between them and the CRC split of a
// batch. Character time 1 ms and gap 3.5 ms make the arithmetic plain. That a
// line which never falls silent is cut at FrameCutter::longestRun,
// fuzz_bus_monitor checks on its seeds.
#include "monitor/frame_cutter.h"

#include <QTest>

using namespace tallowick;
using namespace std::chrono_literals;

namespace {

// "HEX first end gap [split]", the gap "-" for the first frame.
QString described(const CutFrame &frame)
{
    return QStringLiteral("%1 %2 %3 %4%5")
        .arg(QString::fromLatin1(frame.bytes.toHex().toUpper()))
        .arg(frame.firstByteUs)
        .arg(frame.endUs)
        .arg(frame.gapUs ? QString::number(*frame.gapUs) : QStringLiteral("-"))
        .arg(frame.split ? QStringLiteral(" split") : QString());
}

} // namespace

class TestFrameCutter : public QObject
{
    Q_OBJECT

private slots:
    void lineTimes_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<qint64>("characterNs");
        QTest::addColumn<qint64>("gapUs");
        // 3.5 characters of start, data, parity and stop bits, rounded up.
        QTest::newRow("9600,n,8,1") << "9600,n,8,1" << qint64(1041666) << qint64(3646);
        QTest::newRow("19200,e,8,1") << "19200,e,8,1" << qint64(572916) << qint64(2006);
        QTest::newRow("1200,n,8,1.5") << "1200,n,8,1.5" << qint64(8750000) << qint64(30625);
        QTest::newRow("38400 fixed") << "38400,n,8,1" << qint64(260416) << qint64(1750);
        QTest::newRow("115200 fixed") << "115200,e,8,1" << qint64(95486) << qint64(1750);
    }
    void lineTimes()
    {
        QFETCH(QString, settings);
        const auto line = parseLineSettings(settings);
        QVERIFY(line);
        QTEST(qint64(characterTime(*line).count()), "characterNs");
        QTEST(qint64(defaultFrameGap(*line).count()), "gapUs");
    }

    // A script of steps, ";" between them: "F HEX ARRIVAL" feeds bytes that a
    // read returned at ARRIVAL, "S NOW" lets the line be silent until NOW,
    // "E" ends the watch.
    void cuts_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("frames");
        QTest::newRow("one batch, silence short of the gap")
            << "F 010300000001840A 10000; S 13499" << QStringList{};
        QTest::newRow("one batch, ended by the gap")
            << "F 010300000001840A 10000; S 13500" << QStringList{"010300000001840A 2000 10000 -"};
        QTest::newRow("two reads less than the gap apart")
            << "F 0103 2000; F 00000001840A 11000; S 20000"
            << QStringList{"010300000001840A 0 11000 -"};
        QTest::newRow("two reads the gap apart")
            << "F 0103 2000; F 00000001840A 11500; S 20000"
            << QStringList{"0103 0 2000 -", "00000001840A 5500 11500 3500"};
        QTest::newRow("request and reply in one batch, split by their CRC")
            << "F 010300000001840A01030200057847 20000; S 23500"
            << QStringList{"010300000001840A 5000 13000 - split",
                           "01030200057847 13000 20000 0 split"};
        QTest::newRow("wrong CRC that splits nowhere")
            << "F 010300000001840B 10000; E" << QStringList{"010300000001840B 2000 10000 -"};
        QTest::newRow("good CRCs at lengths the function code does not allow")
            << "F 0141C0100141C010 10000; E" << QStringList{"0141C0100141C010 2000 10000 -"};
        QTest::newRow("a bad first part with a good rest stays whole")
            << "F 010300000001840B01030200057847 20000; E"
            << QStringList{"010300000001840B01030200057847 5000 20000 -"};
        QTest::newRow("a good first part with a bad rest stays whole")
            << "F 010300000001840A01030200057848 20000; E"
            << QStringList{"010300000001840A01030200057848 5000 20000 -"};
        QTest::newRow("silence before the next frame")
            << "F 018302C0F1 10000; S 14000; F 018302C0F1 30000; E"
            << QStringList{"018302C0F1 5000 10000 -", "018302C0F1 25000 30000 15000"};
        QTest::newRow("a read that ends the frame before its own bytes")
            << "F 018302C0F1 10000; F 018302C0F1 30000; E"
            << QStringList{"018302C0F1 5000 10000 -", "018302C0F1 25000 30000 15000"};
        QTest::newRow("bytes sooner than the line can carry them keep their order")
            << "F 01 1000; F 03 1200; E" << QStringList{"0103 0 1200 -"};
    }
    void cuts()
    {
        QFETCH(QString, script);
        FrameCutter cutter(3500us, 1ms);
        QStringList frames;
        for (const QString &step : script.split(u';')) {
            const QStringList words = step.trimmed().split(u' ');
            std::vector<CutFrame> ended;
            if (words[0] == u"F")
                ended =
                    cutter.feed(QByteArray::fromHex(words[1].toLatin1()), words[2].toLongLong());
            else if (words[0] == u"S")
                ended = cutter.silence(words[1].toLongLong());
            else
                ended = cutter.flush();
            for (const CutFrame &frame : ended)
                frames << described(frame);
        }
        QTEST(frames, "frames");
    }

    void deadlineFollowsTheLastByte()
    {
        FrameCutter cutter(3500us, 1ms);
        QVERIFY(!cutter.deadline());
        cutter.feed(QByteArray::fromHex("0103"), 2000);
        QCOMPARE(*cutter.deadline(), qint64(5500));
        cutter.feed(QByteArray::fromHex("00"), 4000);
        QCOMPARE(*cutter.deadline(), qint64(7500));
        cutter.flush();
        QVERIFY(!cutter.deadline());
    }

    void lengthsTheFunctionAllows_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<bool>("fits");
        QTest::newRow("03 request") << "010300000001840A" << true;
        QTest::newRow("03 reply, count says more") << "01030400057847" << false;
        QTest::newRow("06 short") << "0106000100" << false;
        QTest::newRow("10 request") << "01100001000204000A01029230" << true;
        QTest::newRow("10 reply") << "0110000100021008" << true;
        QTest::newRow("exception") << "018302C0F1" << true;
        QTest::newRow("exception long") << "018302C0F100" << false;
        QTest::newRow("unknown function") << "0141C010" << false;
    }
    void lengthsTheFunctionAllows()
    {
        QFETCH(QString, frame);
        QTEST(lengthFitsFunction(QByteArray::fromHex(frame.toLatin1())), "fits");
    }
};

QTEST_GUILESS_MAIN(TestFrameCutter)
#include "tst_frame_cutter.moc"
