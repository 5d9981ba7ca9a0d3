// The program under stress: a device that floods the link, a long run of
// exchanges with faults in it, and a megabyte typed into a field.
#include "bench_scenarios.h"

#include "engine/command_text.h"
#include "ui/decoder_window.h"

#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTextDocument>
#include <QTimer>

#include <array>
#include <atomic>
#include <random>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tallowick::bench {

namespace {

using namespace std::chrono_literals;

QString sizeText(qsizetype bytes)
{
    return bytes % (1 << 20) == 0 ? QStringLiteral("%1 MiB").arg(bytes >> 20)
                                  : QStringLiteral("%1 KiB").arg(bytes >> 10);
}

// How many reply bytes a log entry shows: its hex digits, less the CRC
// remark; a reply too short to check is one byte.
qsizetype replyBytesOf(const QString &entry)
{
    if (entry == u"------9:Subscript out of range------")
        return 1;
    if (!entry.startsWith(u"接收 < "))
        return 0;
    QStringView text = QStringView(entry).mid(5);
    if (const qsizetype remark = text.indexOf(u"  *"); remark >= 0)
        text = text.left(remark);
    return (text.size() - text.count(u' ')) / 2;
}

// The longest time between two ticks of a 10 ms timer, while it lives: how
// long the window's thread did not turn.
class StallWatch
{
public:
    StallWatch()
    {
        m_ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_ticker, &QTimer::timeout, &m_ticker, [this] {
            const qint64 now = monotonicNs();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_last = monotonicNs();
        m_ticker.start(10);
    }
    double longestMs() const { return double(m_longest) / 1e6; }

private:
    QTimer m_ticker;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Reads `size` bytes from `fd`; false when it ends first.
bool readAll(int fd, qsizetype size)
{
    static char sink[65536];
    for (qsizetype got = 0; got < size;) {
        const ssize_t n = ::read(fd, sink, size_t(std::min<qsizetype>(size - got, sizeof sink)));
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
}

struct FloodRun
{
    double seconds = 0;
    double stallMs = 0;
    bool complete = false;
};

// One flood through the window: Send, then every byte the device pours out
// logged. `pour` starts the device once the request is out.
FloodRun floodWindow(Window &w, qsizetype size, const std::function<void()> &pour)
{
    qsizetype logged = 0;
    const auto count =
        QObject::connect(&w.engine(), &ExchangeEngine::logEntry, &w.engine(),
                         [&logged](const QString &text, int) { logged += replyBytesOf(text); });
    w.click(w.ui().Command1); // an empty log
    StallWatch stalls;
    const qint64 start = monotonicNs();
    w.click(w.ui().send);
    pour();
    const bool complete = w.waitUntil([&] { return logged >= size && w.isIdle(); }, 120'000);
    const double seconds = double(monotonicNs() - start) / 1e9;
    QObject::disconnect(count);
    return {seconds, stalls.longestMs(), complete && logged == size};
}

} // namespace

std::vector<Row> flood(const Plan &plan)
{
    const qsizetype size = plan.floodBytes;
    std::vector<Row> rows;
    const auto report = [&](const QString &link, const std::vector<FloodRun> &runs,
                            const std::vector<double> &plain, double idleStallMs) {
        std::vector<double> seconds, stalls;
        bool complete = !runs.empty();
        for (const FloodRun &run : runs) {
            seconds.push_back(run.seconds);
            stalls.push_back(run.stallMs);
            complete = complete && run.complete;
        }
        const Stats t = statsOf(seconds);
        const Stats p = statsOf(plain);
        const Stats s = statsOf(stalls);
        const QString trouble = complete ? QString() : QStringLiteral("not all bytes logged");
        rows.push_back({QStringLiteral("Flood of %1 as replies (%2): Send to every byte logged")
                            .arg(sizeText(size), link),
                        formatStats(t, QStringLiteral("s"), 2),
                        formatStats(p, QStringLiteral("s"), 3) + QStringLiteral(" (plain read)"),
                        QString::number(t.median / p.median, 'f', 0), QStringLiteral("<= 60 s"),
                        complete && t.max <= 60, trouble});
        rows.push_back(
            {QStringLiteral("Longest stall of the window's thread during that flood (%1)")
                 .arg(link),
             formatStats(s, QStringLiteral("ms"), 0),
             QStringLiteral("%1 ms (idle)").arg(idleStallMs, 0, 'f', 0),
             QString::number(s.median / idleStallMs, 'f', 1), QStringLiteral("< 500 ms"),
             complete && s.max < 500, trouble});
    };
    double idleStallMs = 0;

    {
        const test::PeerProcess responder = startResponder(size);
        if (!responder.port())
            return {setupFailed(QStringLiteral("Flood"), QStringLiteral("no responder"))};
        Window w(responder.port());
        w.useTcp(responder.port());
        w.keepLink(true);
        w.ui().timeout->setText(QStringLiteral("5000"));
        {
            // What the machine itself does to a 10 ms timer, for comparison.
            StallWatch stalls;
            runEventLoopFor(1s);
            idleStallMs = stalls.longestMs();
        }
        std::vector<FloodRun> runs;
        std::vector<double> plain;
        const QByteArray request = commandLineFrame(0);
        for (int r = 0; r < plan.floodRepetitions; ++r) {
            runs.push_back(floodWindow(w, size, [] {}));
            // A plain client taking the same flood from the same device.
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(responder.port());
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const qint64 start = monotonicNs();
            const bool read =
                ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
                ::write(fd, request.constData(), size_t(request.size())) == request.size() &&
                readAll(fd, size);
            plain.push_back(read ? double(monotonicNs() - start) / 1e9 : 0);
            ::close(fd);
        }
        report(QStringLiteral("TCP"), runs, plain, idleStallMs);
    }
    {
        test::PtyPair pty;
        if (!pty.isValid())
            return {setupFailed(QStringLiteral("Flood"), QStringLiteral("no pty"))};
        Window w;
        w.useSerial(pty.slavePath(), QStringLiteral("9600,n,8,1"));
        w.keepLink(true);
        w.ui().timeout->setText(QStringLiteral("5000"));
        const QByteArray burst = floodPattern(size);
        std::vector<FloodRun> runs;
        std::vector<double> plain;
        for (int r = 0; r < plan.floodRepetitions; ++r) {
            // The device pours from a thread of its own, as fast as the pty
            // takes the bytes.
            std::thread device;
            runs.push_back(floodWindow(w, size, [&] {
                pty.read(2000, 5); // the request
                device = std::thread([&] { pty.write(burst); });
            }));
            device.join();
            // A plain reader of the pty's other end taking the same flood, the
            // window's port closed meanwhile.
            w.keepLink(false);
            w.click(w.ui().send);
            pty.read(2000, 5);
            pty.write(rtuAnswer(commandLineFrame(0)));
            w.waitIdle(3000);
            const int fd =
                ::open(QFile::encodeName(pty.slavePath()).constData(), O_RDONLY | O_NOCTTY);
            const qint64 start = monotonicNs();
            device = std::thread([&] { pty.write(burst); });
            const bool read = fd >= 0 && readAll(fd, size);
            plain.push_back(read ? double(monotonicNs() - start) / 1e9 : 0);
            device.join();
            if (fd >= 0)
                ::close(fd);
            w.keepLink(true);
        }
        report(QStringLiteral("serial, pty"), runs, plain, idleStallMs);
    }
    return rows;
}

std::vector<Row> soak(const Plan &plan)
{
    // 1 % each of a wrong CRC, no reply and a reply in two parts; the same
    // sequence on every run.
    enum class Kind { Good, WrongCrc, Missing, Split };
    std::mt19937 random(20240601);
    std::vector<Kind> kinds;
    for (int i = 0; i < plan.soakExchanges; ++i) {
        const auto roll = random() % 100;
        kinds.push_back(roll == 0   ? Kind::WrongCrc
                        : roll == 1 ? Kind::Missing
                        : roll == 2 ? Kind::Split
                                    : Kind::Good);
    }
    const QByteArray good = QByteArray::fromHex("01030200057847");
    const QByteArray wrongCrc = QByteArray::fromHex("01030200057848");
    constexpr qsizetype splitAt = 3;

    // The device, in this process: each request answered as the plan says.
    Kind current = Kind::Good;
    test::LoopbackPeer device;
    device.answer = [&] {
        device.received.clear(); // the growth measured is the program's, not the peer's
        return current == Kind::Good       ? good
               : current == Kind::WrongCrc ? wrongCrc
               : current == Kind::Split    ? good.left(splitAt)
                                           : QByteArray();
    };
    const quint16 port = device.server.serverPort();
    Window w(port);
    w.useTcp(port);
    w.keepLink(true);
    w.ui().sendCnt->setText(QStringLiteral("1"));

    // Driven by the end of each exchange, as repeated sending is. A reply in
    // two parts ends its exchange with the first; the second part, sent only
    // then, is logged as a reply of its own.
    const int warmUp = std::min(200, plan.soakExchanges / 10);
    int started = 0;
    bool awaitingSecondPart = false;
    bool done = false;
    qint64 residentBefore = 0;
    qsizetype logBefore = 0;
    qint64 start = 0;
    std::function<void()> sendNext = [&] {
        if (started == warmUp) {
            residentBefore = residentKiB();
            logBefore = w.logText().size();
            start = monotonicNs();
        }
        if (started == plan.soakExchanges) {
            done = true;
            return;
        }
        current = kinds[size_t(started++)];
        // A short time-out only where no reply will come.
        w.ui().timeout->setText(current == Kind::Missing ? QStringLiteral("30")
                                                         : QStringLiteral("5000"));
        w.click(w.ui().send);
    };
    const auto onEnd =
        QObject::connect(&w.engine(), &ExchangeEngine::exchangeEnded, &device.server, [&] {
            if (current == Kind::Split && !awaitingSecondPart && device.socket) {
                awaitingSecondPart = true;
                device.socket->write(good.mid(splitAt));
                return;
            }
            awaitingSecondPart = false;
            QTimer::singleShot(0, &device.server, sendNext);
        });
    QTimer::singleShot(0, &device.server, sendNext);
    // Fails only if an exchange is left waiting far beyond its time-out.
    const bool complete = w.waitUntil([&] { return done; }, plan.soakExchanges * 100 + 10'000);
    const double seconds = double(monotonicNs() - start) / 1e9;
    QObject::disconnect(onEnd);
    const qint64 residentAfter = residentKiB();
    const qint64 logBytes = (w.logText().size() - logBefore) * qint64(sizeof(QChar));
    const qint64 growthKiB = residentAfter - residentBefore;
    const int measured = plan.soakExchanges - warmUp;

    // The text lives in memory as UTF-16 at the most; beyond it the run may
    // keep a fixed allowance for the layouts of the lines in view, the glyph
    // cache and what the allocator holds on to.
    constexpr qint64 allowanceKiB = 32 * 1024;
    const auto mib = [](double kib) { return QString::number(kib / 1024, 'f', 1); };
    return {
        {QStringLiteral("Soak: resident growth over %1 exchanges, 1 % each wrong CRC, "
                        "no reply, reply in two parts")
             .arg(QLocale(QLocale::English).toString(measured)),
         mib(double(growthKiB)) + QStringLiteral(" MiB"),
         mib(double(logBytes) / 1024) + QStringLiteral(" MiB (log text added, UTF-16)"),
         QString::number(double(growthKiB) * 1024 / double(std::max<qint64>(logBytes, 1)), 'f', 2),
         QStringLiteral("<= text + 32 MiB"),
         complete && growthKiB <= logBytes / 1024 + allowanceKiB,
         complete ? QStringLiteral("%1 exchanges/s").arg(measured / seconds, 0, 'f', 0)
                  : QStringLiteral("the run stalled after %1 exchanges").arg(started)}};
}

std::vector<Row> hostileInput(const Plan &plan)
{
    // A megabyte of nines in each text field, then every action that reads
    // the field, each timed: Send (ended by Stop if the value made the wait
    // too long), CRC Calculate, Repeat Send (likewise), Save setting, export
    // and import.
    const test::PeerProcess responder = startResponder();
    test::PtyPair pty; // serial fields: nobody answers, the time-out ends it
    if (!responder.port() || !pty.isValid())
        return {setupFailed(QStringLiteral("A megabyte in a text field"),
                            QStringLiteral("no responder or pty"))};
    const QString megabyte(plan.hostileBytes, u'9');
    QTemporaryDir files;
    const QString exported = files.filePath(QStringLiteral("exported.ini"));

    struct Round
    {
        double total = 0;
        QString slowest;
        double slowestMs = 0;
        double stallMs = 0;
    };
    const auto round = [&](const char *field, const QString &value) {
        Window w(responder.port());
        const QString name = QLatin1String(field);
        // Fields the serial link reads are tried in serial mode; a hostile
        // address is never looked up either.
        if (name == u"comSelect" || name == u"configCOM" || name == u"address") {
            w.useSerial(pty.slavePath(), QStringLiteral("9600,n,8,1"));
            w.ui().timeout->setText(QStringLiteral("50"));
        } else {
            w.useTcp(responder.port());
            w.ui().timeout->setText(QStringLiteral("100"));
        }
        w.keepLink(false);
        w.setRepeat(1, 1, 1, 10);
        QLineEdit *box = name == u"filecombo" ? w.ui().filecombo->lineEdit()
                                              : w.window->findChild<QLineEdit *>(name);
        if (box)
            box->setText(value);
        w.dialogs.otherFiles = exported;

        Round result;
        StallWatch stalls;
        const auto timed = [&](const char *action, const std::function<void()> &act) {
            const qint64 start = monotonicNs();
            act();
            const double ms = double(monotonicNs() - start) / 1e6;
            result.total += ms;
            if (ms > result.slowestMs) {
                result.slowestMs = ms;
                result.slowest = name + u' ' + QLatin1String(action);
            }
        };
        timed("Send", [&] {
            w.click(w.ui().send);
            if (!w.waitIdle(1500))
                w.click(w.ui().send);
        });
        timed("CRC Calculate", [&] { w.click(w.ui().crcCalc); });
        timed("Repeat Send", [&] {
            w.click(w.ui().Command2);
            if (!w.waitRunEnded(1000) && w.engine().isRepeating())
                w.click(w.ui().Command2);
            w.waitIdle(1500);
        });
        timed("Save setting", [&] { w.click(w.ui().save); });
        timed("export", [&] { w.click(w.ui().Command4); });
        timed("import", [&] { w.click(w.ui().Command3); });
        result.stallMs = stalls.longestMs();
        pty.read(0, 0);
        return result;
    };

    const Round usual = round("", QString());
    std::vector<double> totals;
    Round worst;
    double longestStallMs = 0;
    QString longestStallField;
    for (const char *field :
         {"address", "port", "timeout", "comSelect", "configCOM", "repeat", "rpStart", "rpStop",
          "rCNT", "sendCnt", "filetitle", "cmd_0", "noteText_0", "filecombo"}) {
        const Round r = round(field, megabyte);
        totals.push_back(r.total);
        if (r.stallMs > longestStallMs) {
            longestStallMs = r.stallMs;
            longestStallField = QLatin1String(field);
        }
        if (r.slowestMs > worst.slowestMs)
            worst = r;
    }
    const Stats t = statsOf(totals);

    // The decoder handed a megabyte, against an ordinary frame.
    Window w;
    const auto describe = [](const QString &text) {
        const qint64 start = monotonicNs();
        DecoderWindow::handOver(text);
        bool described = false;
        // The description is added below the text in one go.
        if (DecoderWindow *decoder = DecoderWindow::instance()) {
            const QTextDocument *box = decoder->findChild<QPlainTextEdit *>()->document();
            const auto isDescribed = [&] { return box->characterCount() > text.size() + 1; };
            QEventLoop loop;
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
                if (isDescribed())
                    loop.quit();
            });
            poll.start(1);
            QTimer::singleShot(30s, &loop, &QEventLoop::quit);
            loop.exec();
            described = isDescribed();
        }
        const double ms = double(monotonicNs() - start) / 1e6;
        if (DecoderWindow::instance())
            DecoderWindow::instance()->close();
        runEventLoopFor(10ms); // the closed window deletes itself
        return described ? ms : -1.0;
    };
    std::vector<double> handOvers, frames;
    for (int r = 0; r < plan.decoderRepetitions; ++r) {
        handOvers.push_back(describe(megabyte));
        frames.push_back(describe(QStringLiteral("01 03 02 00 05 78 47")));
    }
    const Stats h = statsOf(handOvers);
    const Stats f = statsOf(frames);
    const bool described = h.min >= 0 && f.min >= 0;
    const QString size = sizeText(plan.hostileBytes);
    return {{QStringLiteral("%1 of nines in a text field, then Send, CRC Calculate, Repeat Send, "
                            "Save setting, export, import (14 fields)")
                 .arg(size),
             formatStats(t, QStringLiteral("ms"), 0),
             QStringLiteral("%1 ms (usual values)").arg(usual.total, 0, 'f', 0),
             QString::number(t.median / usual.total, 'f', 2), QStringLiteral("<= 10 s a field"),
             t.count == 14 && t.max <= 10'000,
             QStringLiteral("slowest action: %1, %2 ms; longest stall of the window's thread: "
                            "%3 ms, in %4")
                 .arg(worst.slowest)
                 .arg(worst.slowestMs, 0, 'f', 0)
                 .arg(longestStallMs, 0, 'f', 0)
                 .arg(longestStallField)},
            {QStringLiteral("Decoder hand-over of %1 of nines to its description").arg(size),
             formatStats(h, QStringLiteral("ms"), 0),
             formatStats(f, QStringLiteral("ms"), 1) + QStringLiteral(" (one frame)"),
             QString::number(h.median / f.median, 'f', 0), QStringLiteral("<= 5 s"),
             described && h.max <= 5000, described ? QString() : QStringLiteral("not described")}};
}

} // namespace tallowick::bench
