// Scenarios that run exchanges: TCP throughput, the serial end of reply, the
// timing of repeat passes and the CPU a waiting program uses.
#include "bench_scenarios.h"

#include "engine/command_text.h"
#include "engine/exchange_engine.h"
#include "frames/crc.h"
#include "ui/log_box.h"
#include "ui/log_panel.h"

#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <cmath>
#include <cstdio>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

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

// A plain blocking socket client: one request, wait for the whole answer, next.
class BlockingClient
{
public:
    explicit BlockingClient(quint16 port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int yes = 1;
        setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~BlockingClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    BlockingClient(const BlockingClient &) = delete;
    BlockingClient &operator=(const BlockingClient &) = delete;

    bool exchange(const QByteArray &request, qsizetype answerLength)
    {
        if (m_fd < 0 ||
            ::write(m_fd, request.constData(), size_t(request.size())) != request.size())
            return false;
        char answer[256];
        qsizetype got = 0;
        while (got < answerLength) {
            const ssize_t n = ::read(m_fd, answer + got, size_t(answerLength - got));
            if (n <= 0)
                return false;
            got += n;
        }
        return true;
    }

private:
    int m_fd = -1;
};

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
    const auto runnerRun = [&](bool json = false) {
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
        return insidePassRate(ends);
    };

    programRun(); // warm-up: the connection is made here
    baselineRun();
    runnerRun();
    std::vector<double> program, baseline, buttonPaints, logPaints, runnerRates, jsonRates;
    bool heldBack = true;
    for (int r = 0; r < plan.tcpRepetitions; ++r) {
        const Run run = programRun();
        program.push_back(run.exchangesPerSecond);
        buttonPaints.push_back(run.buttonPaintsPerSecond);
        logPaints.push_back(run.logPaintsPerSecond);
        heldBack = heldBack && run.heldBack;
        baseline.push_back(baselineRun());
        runnerRates.push_back(runnerRun());
        jsonRates.push_back(runnerRun(true));
    }
    const Stats p = statsOf(program);
    const Stats b = statsOf(baseline);
    const Stats bp = statsOf(buttonPaints);
    const Stats rr = statsOf(runnerRates);
    const double ratio = p.median / b.median;
    const double runnerRatio = rr.median / b.median;
    const Stats rj = statsOf(jsonRates);
    const double jsonRatio = rj.median / rr.median;
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
             formatStats(rj, QStringLiteral("/s"), 0), formatStats(rr, QStringLiteral("/s"), 0),
             QString::number(jsonRatio, 'f', 2), QStringLiteral(">= 0.9"),
             valid && jsonRatio >= 0.9,
             valid ? QStringLiteral("one JSON line an exchange, then the summary") : trouble},
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
    // t3.5: 3.5 characters of 11 bits, never below 1.75 ms. Only a complete
    // reply with a correct CRC ends then; any other waits out the 20 ms a USB
    // adapter may hold bytes back.
    const auto wrongCrc = [](QByteArrayView request) {
        QByteArray answer = rtuAnswer(request);
        answer[answer.size() - 1] = char(answer.back() ^ 0x01);
        return answer;
    };
    const std::vector<Case> cases{
        {QStringLiteral("well-formed reply, 9600 baud"), QStringLiteral("9600,n,8,1"), rtuAnswer,
         3.5 * 11 / 9600 * 1000, QStringLiteral("t3.5")},
        {QStringLiteral("well-formed reply, 115200 baud"), QStringLiteral("115200,n,8,1"),
         rtuAnswer, 1.75, QStringLiteral("t3.5")},
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
