// Repeat runs on the engine, with fake links and the manual clock. The log is
// read as short tokens: S<n>@<ms> line n sent at that time, K<n> its CRC shown,
// R the reply 0103020005 7847, T no reply, X link closed, IP and C a connection
// asked for, E the refused count, end@<ms> the run over; other entries as they
// are. Times in ms since the click; the pause timer fires 1 ms after it.
#include "support/engine_fixture.h"

#include <QHash>
#include <QRegularExpression>
#include <QTest>

using namespace tallowick;
using namespace tallowick::test;

namespace {

QString token(const QString &entry, const QString &at)
{
    static const QHash<QString, QString> fixed{
        {QStringLiteral("--------無回應--------"), QStringLiteral("T")},
        {QStringLiteral("-------關閉連線-------"), QStringLiteral("X")},
        {QStringLiteral("IP:127.0.0.1:502"), QStringLiteral("IP")},
        {QStringLiteral("-------正在連線-------"), QStringLiteral("C")},
        {QStringLiteral("----輸入重複次數----"), QStringLiteral("E")},
        {QStringLiteral("接收 < 0103020005 7847"), QStringLiteral("R")}};
    static const QRegularExpression line(QStringLiteral("^(傳送|CRC計算 )CMD(\\d+)："));
    if (fixed.contains(entry))
        return fixed.value(entry);
    const auto match = line.match(entry);
    if (!match.hasMatch())
        return entry;
    return match.captured(1) == u"傳送" ? u'S' + match.captured(2) + u'@' + at
                                        : u'K' + match.captured(2);
}

} // namespace

class TestRepeatRun : public QObject
{
    Q_OBJECT
private slots:
    void runs_data();
    void runs();
};

void TestRepeatRun::runs_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("tokens");
    QTest::addColumn<QStringList>("boxes");
    const auto row = [](const char *name, const QString &script, const char *tokens,
                        const QStringList &boxes = {}) {
        QTest::newRow(name) << script << QString::fromUtf8(tokens) << boxes;
    };
    const QStringList countError{QStringLiteral("Repeat count error!")};

    row("count refused", "mode; set rCNT=0; repeat; idle", "E", countError);
    row("pause refused", "mode; set rCNT=2; set repeat=0; repeat; idle", "E", countError);
    row("each line after the last exchange, the pause from the last send",
        "mode; set timeout=5; set rpStop=2; set rCNT=2; set repeat=20; repeat; idle",
        "S1@1 T S2@6 T S1@26 T S2@31 end@31 T");
    row("a pause shorter than the reply: the next pass waits for it",
        "mode; set timeout=5; set rCNT=2; set repeat=2; repeat; idle", "S1@1 T S1@6 end@6 T");
    row("start above stop: passes and pauses, nothing sent",
        "mode; set rpStart=3; set rpStop=2; set rCNT=3; set repeat=20; repeat; idle", "end@41");
    row("2.5 passes round to 2", "set rpStart=2; set rCNT=2.5; set repeat=1; repeat; idle",
        "end@2");
    row("32767 passes", "set rpStart=2; set rCNT=32767; set repeat=1; repeat; wait 40000",
        "end@32767");
    row("Stop Send while waiting: the reply still handled, nothing more sent",
        "mode; set rpStop=3; set rCNT=5; repeat; wait 2; repeat; arrive 01030200057847; idle",
        "S1@1 end@2 R");
    row("Stop Send refused while the count is invalid: the run goes on",
        "mode; set repeat=10000; set rCNT=3; repeat; wait 1; set rCNT=0; repeat; set rCNT=3; "
        "repeat; idle",
        "S1@1 E end@1 T", countError);
    row("a Send refused by its checks ends the run", "mode; set address=; set rCNT=5; repeat; idle",
        "end@1", {QStringLiteral("IP is Null.")});
    row("TCP dropped after a time-out: the run ends",
        "set drop=1; set rpStop=3; set rCNT=4; repeat; wait 1; accept; idle",
        "IP C S1@1 T X end@1001");
    row("TCP kept, silent peer: every line times out, the run goes on",
        "set timeout=100; set rpStop=2; set rCNT=3; repeat; wait 1; accept; idle",
        "IP C S1@1 T S2@101 T S1@201 T S2@301 T S1@401 T S2@501 end@501 T");
    row("a pass waits while its connection is made",
        "set timeout=100; set rpStop=2; repeat; wait 50; accept; idle",
        "IP C S1@50 T S2@101 end@101 T");
    row("a connection not made within the time-out ends the run",
        "set timeout=100; set rCNT=2; repeat; idle", "IP C T end@101");
    row("a link failure left from before does not end the next run",
        "set drop=1; send; next; repeat; next; idle", "IP C T X IP C T X end@2001");
    row("CRC Calculate in a run moves on to the next line",
        "mode; set timeout=5; set rpStop=3; repeat; wait 1; crc; idle", "S1@1 K2 T S3@6 end@6 T");
    // Fields typed while the run goes on are read again, whatever they say.
    row("stop line emptied: the pass ends at its next check",
        "mode; set rpStop=3; set rCNT=2; repeat; wait 1; set rpStop=; idle", "S1@1 T end@1011");
    row("pause beyond a timer kept at 2^31 - 1 ms",
        "mode; set rCNT=2; repeat; set repeat=1" + QString(400, u'0') + "; idle",
        "S1@1 T S1@2147483648 end@2147483648 T");
    row("negative pause: the next pass at once", "mode; set rCNT=2; repeat; set repeat=-5; idle",
        "S1@1 T S1@1001 end@1001 T");
    row("count emptied: the passes go on, Stop Send refused",
        "mode; set rCNT=2; repeat; wait 1; set rCNT=; repeat; idle", "S1@1 E T S1@1001 end@1001 T",
        countError);
    row("start line beyond every line: the next pass sends nothing",
        "mode; set rCNT=2; repeat; set rpStart=&HFFFFFFFFFFFFFFFFFFFF; idle", "S1@1 end@11 T");
    row("stop line beyond every line: lines past 15 refused",
        "mode; set timeout=5; set rpStart=15; set rpStop=15; repeat; set rpStop=99999999999; "
        "wait 8; set rpStop=1; idle",
        "S15@1 T -----沒有指令 16----- ¶ T end@11", {QStringLiteral("Command Input Error")});
}

void TestRepeatRun::runs()
{
    QFETCH(QString, script);
    EngineFixture f;
    QStringList tokens;
    bool repeating = false;
    const auto at = [&f] {
        const qint64 us = f.clock.now().count();
        return us % 1000 ? QString::number(us / 1000.0, 'f', 3) : QString::number(us / 1000);
    };
    connect(&f.engine, &ExchangeEngine::logEntry, &f.engine,
            [&](const QString &entry) { tokens << token(entry, at()); });
    connect(&f.engine, &ExchangeEngine::logLineBreak, &f.engine,
            [&] { tokens << QStringLiteral("¶"); });
    connect(&f.engine, &ExchangeEngine::repeatingChanged, &f.engine, [&](bool on) {
        if (repeating && !on)
            tokens << QStringLiteral("end@") + at();
        repeating = on;
    });
    f.run(script);
    QTEST(tokens.join(u' '), "tokens");
    QTEST(f.dialogs.boxes(), "boxes");
    QVERIFY(!f.engine.isRepeating() && !f.repeatPause->isActive());
    QVERIFY(!f.engine.linkFailed()); // the end of a run clears it
    QCOMPARE(f.serial.written.size() + f.tcp.written.size(),
             tokens.filter(QStringLiteral("@")).size() -
                 tokens.filter(QStringLiteral("end@")).size());
}

QTEST_MAIN(TestRepeatRun)
#include "tst_repeat_run.moc"
