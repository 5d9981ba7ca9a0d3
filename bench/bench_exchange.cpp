// Scenarios that run exchanges: TCP throughput, the serial end of reply, the
// timing of repeat passes and the CPU a waiting program uses.
#include "bench_scenarios.h"

#include "engine/command_text.h"
#include "engine/exchange_engine.h"
#include "frames/crc.h"
#include "ui/log_box.h"
#include "ui/log_panel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace tallowick::bench {

namespace {

using namespace std::chrono_literals;

// The newest line of the log.
QString newestLogLine(Window &w)
{
    return w.ui().getMsg->document()->firstBlock().text();
}

// Report server ID (function 11 hex): a reply whose first bytes do not tell
// its length, CRC correct.
QByteArray unknownLengthAnswer()
{
    QByteArray answer("\x01\x11\x03TWK\0\0", 8);
    const quint16 crc = CRC16(answer);
    answer[6] = char(crc & 0xFF);
    answer[7] = char(crc >> 8);
    return answer;
}

// Exchanges a second inside the passes of 15 lines, from the end times of
// the exchanges: an exchange costs the time from the end of the one before;
// the first of a pass follows the pass pause and is left out.
double insidePassRate(const std::vector<qint64> &ends)
{
    qint64 inside = 0;
    int counted = 0;
    for (size_t i = 1; i < ends.size(); ++i) {
        if (i % 15 != 0) {
            inside += ends[i] - ends[i - 1];
            ++counted;
        }
    }
    return inside > 0 ? counted / (double(inside) / 1e9) : 0.0;
}

QString fixed(double value, const QString &unit, int decimals)
{
    return QString::number(value, 'f', decimals) + u' ' + unit;
}

} // namespace

std::vector<Row> tcpExchanges(const Plan &plan)
{
    const test::PeerProcess responder = startResponder();
    if (!responder.port())
        return {setupFailed(QStringLiteral("TCP exchange inside a pass"),
                            QStringLiteral("no responder"))};
    Window w(responder.port());
    w.useTcp(responder.port());
    w.keepLink(true);
    w.ui().timeout->setText(QStringLiteral("1000"));
    w.setRepeat(1, 15, plan.tcpPasses, 1);
    const int exchanges = 15 * plan.tcpPasses;

    // An exchange inside a pass costs the time from the end of the one before
    // to its own end; the first of a pass follows the 1 ms pause and is left out.
    QString trouble;
    struct Run
    {
        double exchangesPerSecond = 0;
        double buttonPaintsPerSecond = 0;
        double logPaintsPerSecond = 0;
        bool heldBack = false; // at most one redraw per 50 ms, and a few more
    };
    const auto programRun = [&] {
        w.click(w.ui().Command1); // an empty log for every run
        std::vector<qint64> ends;
        ends.reserve(size_t(exchanges));
        const auto noteEnd = QObject::connect(&w.engine(), &ExchangeEngine::exchangeEnded,
                                              &w.engine(), [&] { ends.push_back(monotonicNs()); });
        test::PaintCounter button(w.ui().send);
        test::PaintCounter log(w.ui().getMsg->viewport());
        const qint64 start = monotonicNs();
        w.click(w.ui().Command2);
        if (!w.waitRunEnded(120'000))
            trouble = QStringLiteral("a run did not end");
        const double seconds = double(monotonicNs() - start) / 1e9;
        QObject::disconnect(noteEnd);
        if (int(ends.size()) != exchanges || w.logText().contains(u"無回應"))
            trouble = QStringLiteral("%1 of %2 exchanges answered").arg(ends.size()).arg(exchanges);
        const int mostPaints = int(seconds / 0.050) + 3;
        return Run{insidePassRate(ends), button.paints / seconds, log.paints / seconds,
                   button.paints <= mostPaints && log.paints <= mostPaints};
    };

    std::vector<QByteArray> frames;
    for (int i = 0; i < 15; ++i)
        frames.push_back(commandLineFrame(i));
    const qsizetype answerLength = rtuAnswer(frames[0]).size();
    BlockingClient client(responder.port());
    const auto baselineRun = [&] {
        const qint64 start = monotonicNs();
        for (int i = 0; i < exchanges; ++i) {
            if (!client.exchange(frames[size_t(i % 15)], answerLength)) {
                trouble = QStringLiteral("the plain client failed");
                break;
            }
        }
        return exchanges / (double(monotonicNs() - start) / 1e9);
    };

    // tallowick-run on the same lines with the same settings, its log on a
    // pipe. An exchange ends when its reply entry arrives here; the first of
    // each pass follows the pause and is left out, as above.
    QTemporaryDir folder;
    const QString slot = folder.filePath(QStringLiteral("runner.ini"));
    {
        QFile file(slot);
        QByteArray config = fullConfigFile(responder.port());
        config.replace("REPEAT=10\r\n", "REPEAT=1\r\n");
        config.replace("REPEAT_CNT=1\r\n",
                       "REPEAT_CNT=" + QByteArray::number(plan.tcpPasses) + "\r\n");
        if (!folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(config) < 0)
            trouble = QStringLiteral("no slot file for tallowick-run");
    }
    const QString records = folder.filePath(QStringLiteral("records.jsonl"));
    struct RunnerRun
    {
        double exchangesPerSecond = 0;
        double cpuUsPerExchange = 0; // the runner's own, user and system
    };
    const auto runnerRun = [&](bool json = false) {
        const std::chrono::microseconds cpuBefore = childrenCpuTime();
        QProcess runner;
        std::vector<qint64> ends;
        ends.reserve(size_t(exchanges));
        QByteArray pending;
        QObject::connect(&runner, &QProcess::readyReadStandardOutput, &runner, [&] {
            const qint64 now = monotonicNs();
            pending += runner.readAllStandardOutput();
            for (qsizetype at; (at = pending.indexOf('\n')) >= 0; pending.remove(0, at + 1)) {
                if (pending.first(at).contains("\xe6\x8e\xa5\xe6\x94\xb6")) // 接收
                    ends.push_back(now);
            }
        });
        QEventLoop loop;
        QObject::connect(&runner, &QProcess::finished, &loop, &QEventLoop::quit);
        QStringList args{QStringLiteral("--keep-link"), slot};
        if (json)
            args << QStringLiteral("--json") << records;
        runner.start(QStringLiteral(TALLOWICK_RUN), args);
        QTimer::singleShot(120'000, &loop, &QEventLoop::quit);
        loop.exec();
        if (runner.state() != QProcess::NotRunning || runner.exitCode() != 0 ||
            int(ends.size()) != exchanges)
            trouble = QStringLiteral("tallowick-run: %1 of %2 exchanges answered, exit %3")
                          .arg(ends.size())
                          .arg(exchanges)
                          .arg(runner.exitCode());
        return RunnerRun{insidePassRate(ends),
                         double((childrenCpuTime() - cpuBefore).count()) / exchanges};
    };

    programRun(); // warm-up: the connection is made here
    baselineRun();
    runnerRun();
    runnerRun(true);
    std::vector<double> program, baseline, buttonPaints, logPaints, runnerRates, jsonRates;
    bool heldBack = true;
    for (int r = 0; r < plan.tcpRepetitions; ++r) {
        const Run run = programRun();
        program.push_back(run.exchangesPerSecond);
        buttonPaints.push_back(run.buttonPaintsPerSecond);
        logPaints.push_back(run.logPaintsPerSecond);
        heldBack = heldBack && run.heldBack;
        baseline.push_back(baselineRun());
        runnerRates.push_back(runnerRun().exchangesPerSecond);
    }
    // --json against the runner without it: runs of a few tenths of a second
    // each, on a machine shared with other work. Each pair is run back to back,
    // in turns of which goes first, and held against each other: a load that
    // comes and goes moves both of a pair, and the median of the pairs' ratios
    // is not swayed by the few it caught apart. Their CPU time tells the cost
    // apart from the waits.
    std::vector<double> pairRatios, plainRates, cpuPlain, cpuJson;
    for (int r = 0; r < plan.jsonPairs; ++r) {
        const bool jsonFirst = r % 2 == 1;
        const RunnerRun first = runnerRun(jsonFirst);
        const RunnerRun second = runnerRun(!jsonFirst);
        const RunnerRun &plain = jsonFirst ? second : first;
        const RunnerRun &json = jsonFirst ? first : second;
        plainRates.push_back(plain.exchangesPerSecond);
        jsonRates.push_back(json.exchangesPerSecond);
        pairRatios.push_back(json.exchangesPerSecond / plain.exchangesPerSecond);
        cpuPlain.push_back(plain.cpuUsPerExchange);
        cpuJson.push_back(json.cpuUsPerExchange);
    }
    const Stats p = statsOf(program);
    const Stats b = statsOf(baseline);
    const Stats bp = statsOf(buttonPaints);
    const Stats rr = statsOf(runnerRates);
    const double ratio = p.median / b.median;
    const double runnerRatio = rr.median / b.median;
    const Stats rj = statsOf(jsonRates);
    const Stats pr = statsOf(pairRatios);
    const double jsonRatio = pr.median;
    const bool valid = trouble.isEmpty();
    return {{QStringLiteral("tallowick-run: TCP exchange inside a pass, per second (15 lines, "
                            "log to a pipe, 1 ms pass pause left out)"),
             formatStats(rr, QStringLiteral("/s"), 0), formatStats(b, QStringLiteral("/s"), 0),
             QString::number(runnerRatio, 'f', 2), QStringLiteral(">= 0.5"),
             valid && runnerRatio >= 0.5,
             valid ? QStringLiteral("%1 exchanges a run; the end of an exchange is its reply "
                                    "entry arriving on the pipe")
                         .arg(exchanges)
                   : trouble},
            {QStringLiteral("tallowick-run --json to a file: TCP exchange inside a pass, per "
                            "second, against the runner without it"),
             formatStats(rj, QStringLiteral("/s"), 0),
             formatStats(statsOf(plainRates), QStringLiteral("/s"), 0),
             QString::number(jsonRatio, 'f', 2), QStringLiteral(">= 0.9"),
             valid && jsonRatio >= 0.9,
             valid ? QStringLiteral("median of %1 pairs' ratios (%2 to %3); the runner's CPU an "
                                    "exchange %4 us with, %5 us without (medians)")
                         .arg(pr.count)
                         .arg(pr.min, 0, 'f', 2)
                         .arg(pr.max, 0, 'f', 2)
                         .arg(statsOf(cpuJson).median, 0, 'f', 1)
                         .arg(statsOf(cpuPlain).median, 0, 'f', 1)
                   : trouble},
            {QStringLiteral("TCP exchange inside a pass, per second (15 lines, log on, "
                            "1 ms pass pause left out)"),
             formatStats(p, QStringLiteral("/s"), 0), formatStats(b, QStringLiteral("/s"), 0),
             QString::number(ratio, 'f', 2), QStringLiteral(">= 0.5"), valid && ratio >= 0.5,
             valid ? QStringLiteral("%1 exchanges a run").arg(exchanges) : trouble},
            {QStringLiteral("Redraws of the Send button during those runs"),
             formatStats(bp, QStringLiteral("/s"), 1), QStringLiteral("20.0 /s (one per 50 ms)"),
             QString::number(bp.median / 20, 'f', 2), QStringLiteral("<= one per 50 ms, + 3"),
             valid && heldBack,
             QStringLiteral("the log's: %1 /s").arg(statsOf(logPaints).median, 0, 'f', 1)}};
}

std::vector<Row> serialEndOfReply(const Plan &plan)
{
    test::PtyPair pty;
    if (!pty.isValid())
        return {setupFailed(QStringLiteral("Serial end of reply"), QStringLiteral("no pty"))};
    Window w;
    w.useSerial(pty.slavePath(), QStringLiteral("9600,n,8,1"));
    w.keepLink(false);
    w.ui().timeout->setText(QStringLiteral("1000"));
    w.ui().sendCnt->setText(QStringLiteral("1"));

    // The device end: answers each request with one write and notes when
    // its last byte went on the line.
    std::function<QByteArray(QByteArrayView)> answerOf = rtuAnswer;
    QByteArray request;
    qint64 lastByteAt = 0;
    qint64 entryAt = 0;
    QSocketNotifier device(qintptr(pty.masterFd()), QSocketNotifier::Read);
    QObject::connect(&device, &QSocketNotifier::activated, &device, [&] {
        request += pty.read(0, 0);
        if (!rtuRequestLength(request))
            return;
        pty.write(answerOf(request));
        lastByteAt = monotonicNs();
        request.clear();
    });
    QTextDocument *log = w.ui().getMsg->document();
    QObject::connect(log, &QTextDocument::contentsChange, &device, [&] {
        if (lastByteAt && !entryAt && newestLogLine(w).contains(u"接收"))
            entryAt = monotonicNs();
    });

    struct Case
    {
        QString name;
        QString lineSettings;
        std::function<QByteArray(QByteArrayView)> answer;
        double promiseMs;
        QString promise;
    };
    // The end of a frame: t3.5 and one character after the last delivery
    // (10-bit characters here; t3.5 the fixed 1.75 ms above 19200 baud). Only
    // a complete reply with a correct CRC ends then; any other waits out the
    // 20 ms a USB adapter may hold bytes back.
    const auto wrongCrc = [](QByteArrayView request) {
        QByteArray answer = rtuAnswer(request);
        answer[answer.size() - 1] = char(answer.back() ^ 0x01);
        return answer;
    };
    const std::vector<Case> cases{
        {QStringLiteral("well-formed reply, 9600 baud"), QStringLiteral("9600,n,8,1"), rtuAnswer,
         4.5 * 10 / 9600 * 1000, QStringLiteral("t3.5 + 1 character")},
        {QStringLiteral("well-formed reply, 115200 baud"), QStringLiteral("115200,n,8,1"),
         rtuAnswer, 1.75 + 10.0 / 115200 * 1000, QStringLiteral("t3.5 + 1 character")},
        {QStringLiteral("reply of unknown length, 9600 baud"), QStringLiteral("9600,n,8,1"),
         [](QByteArrayView) { return unknownLengthAnswer(); }, 20.0,
         QStringLiteral("adapter quiet time")},
        {QStringLiteral("reply with a wrong CRC, 115200 baud"), QStringLiteral("115200,n,8,1"),
         wrongCrc, 20.0, QStringLiteral("adapter quiet time")}};

    std::vector<Row> rows;
    for (const Case &c : cases) {
        answerOf = c.answer;
        w.ui().configCOM->setText(c.lineSettings);
        std::vector<double> latencies;
        int lost = 0;
        for (int i = 0; i < plan.serialReplies + 1; ++i) {
            lastByteAt = 0;
            entryAt = 0;
            w.click(w.ui().send);
            if (!w.waitIdle(3000) || !lastByteAt || !entryAt) {
                ++lost;
                continue;
            }
            if (i > 0) // the first one opens the port for the first time
                latencies.push_back(double(entryAt - lastByteAt) / 1e6);
        }
        const Stats s = statsOf(latencies);
        const double off = s.median - c.promiseMs;
        rows.push_back(
            {QStringLiteral("Serial end of reply to log entry, ") + c.name,
             formatStats(s, QStringLiteral("ms"), 2),
             fixed(c.promiseMs, QStringLiteral("ms (") + c.promise + u')', 2),
             QString::number(s.median / c.promiseMs, 'f', 2),
             QStringLiteral("never early, median within 1 ms"),
             lost == 0 && s.count > 0 && s.min >= c.promiseMs && std::abs(off) <= 1.0,
             QStringLiteral("median %1%2 ms").arg(off >= 0 ? "+" : "").arg(off, 0, 'f', 2) +
                 (lost ? QStringLiteral(", %1 replies lost").arg(lost) : QString())});
    }
    return rows;
}

std::vector<Row> repeatTiming(const Plan &plan)
{
    const test::PeerProcess responder = startResponder();
    if (!responder.port())
        return {setupFailed(QStringLiteral("Repeat timing"), QStringLiteral("no responder"))};
    constexpr int pauseMs = 10;
    Window w(responder.port());
    w.useTcp(responder.port());
    w.keepLink(true);
    w.ui().timeout->setText(QStringLiteral("1000"));
    w.click(w.ui().send); // the connection is made before the run
    w.waitIdle(3000);
    w.setRepeat(1, 15, plan.repeatPasses, pauseMs);

    // Every transmit entry, as the line it sent and when.
    std::vector<std::pair<int, qint64>> sends;
    QTextDocument *log = w.ui().getMsg->document();
    const auto watch = QObject::connect(log, &QTextDocument::contentsChange, log, [&] {
        const QString line = newestLogLine(w);
        if (line.contains(QStringLiteral("傳送CMD"))) {
            const qsizetype at = line.indexOf(QStringLiteral("傳送CMD")) + 5;
            sends.emplace_back(line.mid(at, line.indexOf(u'：', at) - at).toInt(), monotonicNs());
        }
    });
    w.click(w.ui().Command2);
    const bool ended = w.waitRunEnded(plan.repeatPasses * 1000);
    QObject::disconnect(watch);

    std::vector<double> gaps, deviations;
    for (size_t i = 1; i < sends.size(); ++i) {
        if (sends[i - 1].first == 15 && sends[i].first == 1) {
            const double gap = double(sends[i].second - sends[i - 1].second) / 1e6;
            gaps.push_back(gap);
            deviations.push_back(std::abs(gap - pauseMs));
        }
    }
    const Stats g = statsOf(gaps);
    const Stats d = statsOf(deviations);
    const bool complete = ended && int(gaps.size()) == plan.repeatPasses - 1;
    return {{QStringLiteral("Repeat timing: last send of a pass to first of the next"),
             formatStats(g, QStringLiteral("ms"), 2),
             fixed(pauseMs, QStringLiteral("ms (pause)"), 2),
             QString::number(g.median / pauseMs, 'f', 2),
             QStringLiteral("never early, p99 within 2 ms"),
             complete && g.min >= pauseMs && d.p99 <= 2.0,
             QStringLiteral("p99 %1 ms, %2 gaps").arg(g.p99, 0, 'f', 2).arg(gaps.size()) +
                 (complete ? QString() : QStringLiteral(", run incomplete"))}};
}

std::vector<Row> idleCpu(const Plan &plan)
{
    const auto measure = [&plan](const std::function<void()> &begin,
                                 const std::function<void()> &end) {
        std::vector<double> percent;
        for (int r = 0; r < plan.idleRepetitions; ++r) {
            begin();
            // The wait is measured once the window has drawn what the click changed.
            runEventLoopFor(200ms);
            const auto cpu = processCpuTime();
            const qint64 start = monotonicNs();
            runEventLoopFor(std::chrono::milliseconds(plan.idleMs));
            const double wall = double(monotonicNs() - start);
            percent.push_back(100.0 * double((processCpuTime() - cpu).count()) / wall);
            end();
        }
        return statsOf(percent);
    };
    const QString wall = fixed(plan.idleMs / 1000.0, QStringLiteral("s wall time"), 1);
    std::vector<Row> rows;
    const auto row = [&](const QString &name, const Stats &s, bool valid) {
        rows.push_back({QStringLiteral("Idle CPU, ") + name, formatStats(s, QStringLiteral("%"), 3),
                        wall, QString::number(s.median / 100, 'f', 5), QStringLiteral("<= 1 %"),
                        valid && s.max <= 1.0, valid ? QString() : QStringLiteral("setup failed")});
    };

    {
        // A peer that takes the request and never answers.
        test::LoopbackPeer silent;
        Window w(silent.server.serverPort());
        w.useTcp(silent.server.serverPort());
        w.keepLink(true);
        w.ui().timeout->setText(QStringLiteral("600000"));
        bool valid = true;
        const Stats s = measure(
            [&] {
                silent.received.clear();
                w.click(w.ui().send);
                valid = w.waitUntil([&] { return !silent.received.isEmpty(); }, 3000) && valid;
            },
            [&] {
                w.click(w.ui().send); // "Stop"
                valid = w.waitIdle(3000) && valid;
            });
        row(QStringLiteral("TCP reply awaited"), s, valid);
    }
    {
        test::PtyPair pty; // nobody answers on the device end
        Window w;
        w.useSerial(pty.slavePath(), QStringLiteral("9600,n,8,1"));
        w.keepLink(true);
        w.ui().timeout->setText(QStringLiteral("600000"));
        bool valid = pty.isValid();
        const Stats s = measure([&] { w.click(w.ui().send); },
                                [&] {
                                    w.click(w.ui().send);
                                    valid = w.waitIdle(3000) && valid;
                                    pty.read(0, 0);
                                });
        row(QStringLiteral("serial reply awaited"), s, valid);
    }
    {
        // The port kept open after a reply: the quiet timer that ended it has
        // fired, and an expiration left on its descriptor would wake the loop.
        test::PtyPair pty;
        Window w;
        w.useSerial(pty.slavePath(), QStringLiteral("9600,n,8,1"));
        w.keepLink(true);
        w.ui().timeout->setText(QStringLiteral("1000"));
        bool valid = pty.isValid();
        const Stats s = measure(
            [&] {
                w.click(w.ui().send);
                const QByteArray request = pty.read(2000, 5);
                pty.write(rtuAnswer(request));
                valid = !request.isEmpty() && w.waitIdle(3000) &&
                        newestLogLine(w).contains(u"接收") && valid;
            },
            [] {});
        row(QStringLiteral("serial port kept open after a reply"), s, valid);
    }
    {
        const test::PeerProcess responder = startResponder();
        Window w(responder.port());
        w.useTcp(responder.port());
        w.keepLink(true);
        w.ui().timeout->setText(QStringLiteral("1000"));
        w.setRepeat(1, 15, 2, plan.idleMs + 2000);
        bool valid = responder.port() != 0;
        const Stats s = measure(
            [&] {
                w.click(w.ui().Command2);
                // Paused: the first pass is over and its last reply is in.
                const auto paused = [&] {
                    return !w.engine().isWaiting() && w.ui().repTimer->isActive();
                };
                valid = w.waitUntil(paused, 5000) && valid;
            },
            [&] {
                w.click(w.ui().Command2); // "Stop Send"
                valid = w.waitRunEnded(3000) && valid;
            });
        row(QStringLiteral("repeat run paused"), s, valid);
    }
    return rows;
}

} // namespace tallowick::bench

namespace tallowick::bench {

std::vector<Row> runnerSoak(const Plan &plan)
{
    // A run takes at most 15 lines times 32767 passes: the million is made of
    // runs of 10 lines, one after another against the same peer, and each
    // run's own growth is held to the goal.
    constexpr int runs = 4;
    constexpr int lines = 10;
    const qint64 perRun = qint64(lines) * plan.runnerSoakPasses;
    const qint64 planned = runs * perRun;
    const QString scenario =
        QStringLiteral("tallowick-run soak: resident growth over %1 exchanges (%2 runs of %3 "
                       "lines x %4 passes, --json /dev/null --summary, log to a pipe)")
            .arg(QLocale(QLocale::English).toString(planned))
            .arg(runs)
            .arg(lines)
            .arg(QLocale(QLocale::English).toString(plan.runnerSoakPasses));

    // The peer counts the requests it answered: a byte on its stdin asks.
    QProcess responder;
    responder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    responder.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--responder"), QStringLiteral("0")});
    while (responder.waitForReadyRead(5000) && !responder.canReadLine()) {
    }
    const quint16 port = QString::fromLatin1(responder.readLine()).section(u' ', 1).toUShort();
    if (!port)
        return {setupFailed(scenario, QStringLiteral("no responder"))};
    quint64 answered = 0;
    QObject::connect(&responder, &QProcess::readyReadStandardOutput, &responder, [&] {
        while (responder.canReadLine()) {
            const QByteArray line = responder.readLine().trimmed();
            if (line.startsWith("ANSWERED "))
                answered = line.mid(9).toULongLong();
        }
    });
    // Asks and waits for the count, the loop running.
    const auto answeredNow = [&] {
        QEventLoop loop;
        const auto heard = QObject::connect(&responder, &QProcess::readyReadStandardOutput, &loop,
                                            &QEventLoop::quit, Qt::QueuedConnection);
        responder.write("c");
        QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(heard);
        return answered;
    };

    QStringList args{QStringLiteral("--tcp"),       QStringLiteral("127.0.0.1:%1").arg(port),
                     QStringLiteral("--lines"),     QStringLiteral("1-%1").arg(lines),
                     QStringLiteral("--passes"),    QString::number(plan.runnerSoakPasses),
                     QStringLiteral("--pause"),     QStringLiteral("1"),
                     QStringLiteral("--timeout"),   QStringLiteral("1000"),
                     QStringLiteral("--keep-link"), QStringLiteral("--summary"),
                     QStringLiteral("--json"),      QStringLiteral("/dev/null")};
    for (int i = 0; i < lines; ++i)
        args << QStringLiteral("--line")
             << QStringLiteral("%1=%2").arg(i + 1).arg(commandLineText(i));

    QString trouble;
    std::vector<double> growthsMiB;
    qint64 totals = 0;
    qint64 oks = 0;
    qint64 peakKiB = 0;
    double seconds = 0;
    for (int r = 0; r < runs && trouble.isEmpty(); ++r) {
        const quint64 answeredBefore = answeredNow();
        QProcess runner;
        // The log goes by on the pipe; only its end, the summary, is kept.
        QByteArray tail;
        QObject::connect(&runner, &QProcess::readyReadStandardOutput, &runner, [&] {
            tail += runner.readAllStandardOutput();
            if (tail.size() > 256 * 1024)
                tail = tail.right(64 * 1024);
        });
        // Sampled while it runs: the first sample past a twentieth of the run
        // is the warm-up, the last one the end.
        qint64 warmKiB = 0;
        qint64 lastKiB = 0;
        QTimer sampler;
        QObject::connect(&responder, &QProcess::readyReadStandardOutput, &sampler, [&] {
            const qint64 kib =
                runner.state() == QProcess::Running ? residentKiB(runner.processId()) : 0;
            if (!kib)
                return;
            if (!warmKiB && qint64(answered - answeredBefore) >= std::max<qint64>(1, perRun / 20))
                warmKiB = kib;
            else if (warmKiB)
                lastKiB = kib;
            peakKiB = std::max(peakKiB, kib);
        });
        QObject::connect(&sampler, &QTimer::timeout, &responder, [&] { responder.write("c"); });
        QEventLoop loop;
        QObject::connect(&runner, &QProcess::finished, &loop, &QEventLoop::quit);
        const qint64 start = monotonicNs();
        runner.start(QStringLiteral(TALLOWICK_RUN), args);
        sampler.start(250);
        QTimer::singleShot(std::chrono::milliseconds(perRun + 120'000), &loop, &QEventLoop::quit);
        loop.exec();
        sampler.stop();
        seconds += double(monotonicNs() - start) / 1e9;
        tail += runner.readAllStandardOutput();
        if (runner.state() != QProcess::NotRunning || runner.exitCode() != 0) {
            trouble = QStringLiteral("run %1 did not end well: exit %2")
                          .arg(r + 1)
                          .arg(runner.exitCode());
            break;
        }
        const quint64 answeredInRun = answeredNow() - answeredBefore;
        // The summary's last row: "total  <exchanges>  <ok>  ...".
        const QList<QByteArray> rows = tail.trimmed().split('\n');
        const QList<QByteArray> total = rows.last().simplified().split(' ');
        const qint64 exchanges = total.value(0) == "total" ? total.value(1).toLongLong() : -1;
        const qint64 ok = total.value(0) == "total" ? total.value(2).toLongLong() : -1;
        totals += exchanges;
        oks += ok;
        if (exchanges != perRun || ok != perRun || qint64(answeredInRun) != perRun)
            trouble = QStringLiteral("run %1: %2 planned, the peer answered %3, the summary "
                                     "counts %4 exchanges, %5 ok")
                          .arg(r + 1)
                          .arg(perRun)
                          .arg(answeredInRun)
                          .arg(exchanges)
                          .arg(ok);
        if (warmKiB && lastKiB)
            growthsMiB.push_back(double(lastKiB - warmKiB) / 1024);
    }
    responder.closeWriteChannel();
    responder.waitForFinished(5000);

    const Stats g = statsOf(growthsMiB);
    const bool counted =
        trouble.isEmpty() && totals == planned && oks == planned && qint64(answered) == planned;
    const bool sampled = int(growthsMiB.size()) == runs;
    return {{scenario, formatStats(g, QStringLiteral("MiB"), 2), QStringLiteral("2.00 MiB a run"),
             QString::number(g.max / 2, 'f', 2),
             QStringLiteral("<= 2 MiB, every exchange counted once"),
             counted && sampled && g.max <= 2.0,
             !trouble.isEmpty()
                 ? trouble
                 : QStringLiteral("the peer answered %1, the summaries count %2, %3 ok; "
                                  "%4 exchanges/s; resident at most %5 MiB%6")
                       .arg(answered)
                       .arg(totals)
                       .arg(oks)
                       .arg(double(planned) / seconds, 0, 'f', 0)
                       .arg(double(peakKiB) / 1024, 0, 'f', 1)
                       .arg(sampled ? QString() : QStringLiteral(", runs too short to sample"))}};
}

} // namespace tallowick::bench
