// The bus monitor on a line it does not drive: the real tallowick-monitor,
// started with no display, reads the slave side of a pty pair whose master
// side this benchmark writes as a serial line would carry the bytes.
#include "bench_scenarios.h"

#include "frames/crc.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>
#include <thread>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pty.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

namespace tallowick::bench {

namespace {

qint64 realtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

void sleepUntilNs(qint64 monotonic)
{
    timespec at{};
    at.tv_sec = time_t(monotonic / 1'000'000'000);
    at.tv_nsec = long(monotonic % 1'000'000'000);
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) != 0) {
    }
}

QString thousands(qint64 n)
{
    return QLocale(QLocale::English).toString(n);
}

void append16(QByteArray &bytes, int value)
{
    bytes.append(char((value >> 8) & 0xFF));
    bytes.append(char(value & 0xFF));
}

// A master polling three devices: reads of a few registers and now and then
// of 125, single and multiple writes, coils, and an exception now and then.
// Requests and their replies in turn, from 5 to 255 bytes.
std::vector<QByteArray> busFrames(qsizetype count, unsigned seed)
{
    std::minstd_rand random(seed);
    const auto below = [&random](int n) { return int(random() % unsigned(n)); };
    std::vector<QByteArray> frames;
    frames.reserve(std::size_t(count) + 1);
    while (qsizetype(frames.size()) < count) {
        const char unit = char(1 + below(3));
        const int address = below(1000);
        QByteArray request{1, unit};
        QByteArray reply{1, unit};
        switch (below(8)) {
        case 0:
        case 1:
        case 2: { // 03 and 04
            const char function = char(3 + below(2));
            const int registers = below(16) == 0 ? 125 : 1 + below(10);
            request.append(function);
            append16(request, address);
            append16(request, registers);
            reply.append(function);
            reply.append(char(2 * registers));
            for (int i = 0; i < registers; ++i)
                append16(reply, address + i);
            break;
        }
        case 3: // 06, echoed
            request.append('\x06');
            append16(request, address);
            append16(request, below(65536));
            reply = request;
            break;
        case 4: { // 10
            const int registers = 1 + below(20);
            request.append('\x10');
            append16(request, address);
            append16(request, registers);
            request.append(char(2 * registers));
            for (int i = 0; i < registers; ++i)
                append16(request, below(65536));
            reply.append('\x10');
            append16(reply, address);
            append16(reply, registers);
            break;
        }
        case 5: { // 01
            const int coils = 1 + below(64);
            request.append('\x01');
            append16(request, address);
            append16(request, coils);
            reply.append('\x01');
            reply.append(char((coils + 7) / 8));
            for (int i = 0; i < (coils + 7) / 8; ++i)
                reply.append(char(below(256)));
            break;
        }
        case 6: // a register the device does not have
            request.append('\x03');
            append16(request, 9000 + address);
            append16(request, 1);
            reply.append('\x83');
            reply.append('\x02');
            break;
        default: { // 0F
            const int coils = 1 + below(32);
            request.append('\x0F');
            append16(request, address);
            append16(request, coils);
            request.append(char((coils + 7) / 8));
            for (int i = 0; i < (coils + 7) / 8; ++i)
                request.append(char(below(256)));
            reply.append('\x0F');
            append16(reply, address);
            append16(reply, coils);
            break;
        }
        }
        frames.push_back(withCrc(request));
        frames.push_back(withCrc(reply));
    }
    frames.resize(std::size_t(count));
    return frames;
}

// The line: the monitor opens the slave side by its path, the benchmark
// writes the master side.
class Line
{
public:
    Line()
    {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
            m_master = m_slave = -1;
            return;
        }
        // The children started on the line must not hold it open themselves.
        for (const int fd : {m_master, m_slave})
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        termios tio{};
        ::tcgetattr(m_slave, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
        m_path = QString::fromLocal8Bit(name);
    }
    ~Line()
    {
        for (const int fd : {m_master, m_slave}) {
            if (fd >= 0)
                ::close(fd);
        }
    }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString path() const { return m_path; }

    bool write(const char *bytes, qsizetype size) const
    {
        while (size > 0) {
            const ssize_t n = ::write(m_master, bytes, std::size_t(size));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes += n;
            size -= n;
        }
        return true;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_path;
};

// tallowick-monitor as a child process with no display; what it prints goes
// nowhere, its frames into files in `folder`.
class MonitorChild
{
public:
    MonitorChild(const QString &line, const QString &settings, const QString &folder)
        : m_pcapPath(folder + QStringLiteral("/line.pcap")),
          m_jsonPath(folder + QStringLiteral("/line.jsonl"))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        m_process.setProcessEnvironment(env);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(folder + QStringLiteral("/stderr.txt"));
        m_process.start(QStringLiteral(TALLOWICK_MONITOR),
                        {line, QStringLiteral("--serial-settings"), settings,
                         QStringLiteral("--pcap"), m_pcapPath, QStringLiteral("--json"),
                         m_jsonPath});
    }
    ~MonitorChild()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10'000);
        }
    }
    MonitorChild(const MonitorChild &) = delete;
    MonitorChild &operator=(const MonitorChild &) = delete;

    QString pcapPath() const { return m_pcapPath; }
    QString jsonPath() const { return m_jsonPath; }

    // It watches the line once it has written the capture's header: the line
    // is set and flushed by then, and every byte from now on counts.
    bool waitUntilWatching()
    {
        if (!m_process.waitForStarted(10'000))
            return false;
        m_pid = m_process.processId();
        for (int i = 0; i < 1000; ++i) {
            if (QFile(m_pcapPath).size() >= 24)
                return true;
            if (!isAlive())
                return false;
            QThread::msleep(10);
        }
        return false;
    }

    bool isAlive() const { return m_pid > 0 && ::kill(pid_t(m_pid), 0) == 0; }

    qint64 pid() const { return m_pid; }

    // SIGINT, as a user ends it: the exit status, 130 when it ended well.
    int interrupt()
    {
        if (m_pid > 0)
            ::kill(pid_t(m_pid), SIGINT);
        if (!m_process.waitForFinished(120'000))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
    }

private:
    QProcess m_process;
    QString m_pcapPath;
    QString m_jsonPath;
    qint64 m_pid = 0;
};

double ticksPercent(qint64 ticks, qint64 wallNs)
{
    return 100.0 * double(ticks) / double(::sysconf(_SC_CLK_TCK)) / (double(wallNs) / 1e9);
}

// "2024-05-01T14:03:27.123456+02:00" in microseconds since the epoch; -1 when
// it is not such a time.
qint64 isoTimeUs(const QString &text)
{
    if (text.size() < 27 || text[19] != u'.')
        return -1;
    const QDateTime seconds = QDateTime::fromString(text.left(19) + text.mid(26), Qt::ISODate);
    bool ok = false;
    const qint64 micros = text.mid(20, 6).toLongLong(&ok);
    if (!seconds.isValid() || !ok)
        return -1;
    return seconds.toSecsSinceEpoch() * 1'000'000 + micros;
}

struct Reported
{
    QByteArray bytes;
    qint64 timeUs = 0;
    bool split = false;
    bool joined = false;
};

// The frames of a JSON Lines file, and its summary's frame count.
std::vector<Reported> readFrames(const QString &path, qint64 &summaryFrames)
{
    std::vector<Reported> frames;
    summaryFrames = -1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return frames;
    while (!file.atEnd()) {
        const QJsonObject object = QJsonDocument::fromJson(file.readLine()).object();
        if (object.contains(u"summary")) {
            summaryFrames = object.value(u"summary").toObject().value(u"frames").toInteger(-1);
            continue;
        }
        frames.push_back({QByteArray::fromHex(object[u"bytes"].toString().toLatin1()),
                          isoTimeUs(object[u"time"].toString()), object[u"split"].toBool(),
                          object[u"joined"].toBool()});
    }
    return frames;
}

// Where each frame ends in the stream of all the line's bytes.
std::vector<qint64> frameEnds(const auto &frames, const auto &bytesOf)
{
    std::vector<qint64> at;
    qint64 offset = 0;
    for (const auto &frame : frames) {
        offset += bytesOf(frame).size();
        at.push_back(offset);
    }
    return at;
}

// The frames the monitor reported against those written: the bytes, where
// frames end, and what it made of them.
struct Compared
{
    std::vector<Reported> reported;
    qint64 summaryFrames = -1;
    qsizetype writtenBytes = 0;
    qsizetype reportedBytes = 0;
    bool sameBytes = false;
    qsizetype split = 0;
    qsizetype joined = 0;
    std::vector<qint64> writtenEnds;
    std::vector<qint64> reportedEnds;
    // A frame end written but not reported: two frames merged; reported but
    // not written: a frame cut.
    std::vector<qint64> merged;
    std::vector<qint64> cut;
};

Compared compared(const std::vector<QByteArray> &frames, const QString &jsonPath)
{
    Compared c;
    c.reported = readFrames(jsonPath, c.summaryFrames);
    QByteArray written, reported;
    for (const QByteArray &frame : frames)
        written += frame;
    for (const Reported &frame : c.reported) {
        reported += frame.bytes;
        c.split += frame.split ? 1 : 0;
        c.joined += frame.joined ? 1 : 0;
    }
    c.writtenBytes = written.size();
    c.reportedBytes = reported.size();
    c.sameBytes = written == reported;
    c.writtenEnds = frameEnds(frames, [](const QByteArray &f) { return f; });
    c.reportedEnds = frameEnds(c.reported, [](const Reported &f) { return f.bytes; });
    std::set_difference(c.writtenEnds.begin(), c.writtenEnds.end(), c.reportedEnds.begin(),
                        c.reportedEnds.end(), std::back_inserter(c.merged));
    std::set_difference(c.reportedEnds.begin(), c.reportedEnds.end(), c.writtenEnds.begin(),
                        c.writtenEnds.end(), std::back_inserter(c.cut));
    return c;
}

// 11 bits a character at 115200 baud: start, 8 data, even parity, stop.
constexpr qint64 characterNs115200 = 11'000'000'000LL / 115200;

struct Played
{
    qint64 begun = 0;
    // The wall-clock time each frame started on the line.
    std::vector<qint64> startWallNs;
    // How late each frame was written.
    std::vector<double> lateMs;
    bool written = true;
};

// The frames on a saturated 115200 line, t3.5 + 0.25 ms apart (above 19200
// baud t3.5 is the fixed 1.75 ms).
//
// A frame is handed over whole when the stop bit of its last byte has
// ended, as a receiver hands over what it has gathered; the monitor takes
// the bytes of a read to have come back to back before it. A writer's byte
// at a time would show its own late wake-ups as silences inside a frame,
// which no line has. The silence after a frame counts from the moment it was
// actually written: a late wake-up never shortens it. The frame started on
// the line its length in characters before.
Played playLine(const Line &line, const std::vector<QByteArray> &frames)
{
    constexpr qint64 silenceNs = 1'750'000 + 250'000;
    Played played;
    played.startWallNs.resize(frames.size());
    played.lateMs.reserve(frames.size());
    played.begun = monotonicNs();
    std::thread writer([&] {
        ::prctl(PR_SET_TIMERSLACK, 1UL);
        qint64 lastWrite = monotonicNs();
        for (std::size_t f = 0; f < frames.size() && played.written; ++f) {
            const QByteArray &frame = frames[f];
            const qint64 span = frame.size() * characterNs115200;
            const qint64 due = lastWrite + silenceNs + span;
            sleepUntilNs(due);
            played.startWallNs[f] = realtimeNs() - span;
            played.lateMs.push_back(double(monotonicNs() - due) / 1e6);
            played.written = line.write(frame.constData(), frame.size());
            lastWrite = monotonicNs();
        }
    });
    writer.join();
    return played;
}

// The least a reader of the line can cost: cat copying it to a file, its
// CPU over the same frames; -1 when it could not be had.
double catPercent(const std::vector<QByteArray> &frames, const QString &folder)
{
    Line line;
    if (!line.isValid())
        return -1;
    QProcess cat;
    cat.setStandardOutputFile(folder + QStringLiteral("/cat.out"));
    cat.start(QStringLiteral("cat"), {line.path()});
    if (!cat.waitForStarted(10'000))
        return -1;
    const qint64 pid = cat.processId();
    // Reading once it has the line open.
    bool open = false;
    for (int i = 0; i < 1000 && !open; ++i) {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System)) {
            open = open || fd.symLinkTarget() == line.path();
        }
        if (!open)
            QThread::msleep(10);
    }
    const qint64 before = cpuTicksOf(pid);
    const Played played = playLine(line, frames);
    QThread::msleep(50);
    const qint64 ticks = cpuTicksOf(pid) - before;
    const qint64 wallNs = monotonicNs() - played.begun;
    cat.kill();
    cat.waitForFinished(10'000);
    QFile::remove(folder + QStringLiteral("/cat.out"));
    return open && played.written && before >= 0 ? ticksPercent(ticks, wallNs) : -1;
}

std::vector<Row> saturatedLine(const Plan &plan, const QString &folder)
{
    const QString scenario = QStringLiteral("Monitor at 115200 baud");
    Line line;
    if (!line.isValid())
        return {setupFailed(scenario, QStringLiteral("no pty"))};
    MonitorChild monitor(line.path(), QStringLiteral("115200,e,8,1"), folder);
    if (!monitor.waitUntilWatching())
        return {setupFailed(scenario, QStringLiteral("the monitor did not start"))};

    const std::vector<QByteArray> frames = busFrames(plan.monitorFrames, 28);

    const qint64 cpuBefore = cpuTicksOf(monitor.pid());
    const Played played = playLine(line, frames);
    // The last frame ends with the silence after it.
    QThread::msleep(50);
    const qint64 cpuRun = cpuTicksOf(monitor.pid()) - cpuBefore;
    const qint64 runNs = monotonicNs() - played.begun;

    const qint64 idleFrom = monotonicNs();
    const qint64 cpuIdleBefore = cpuTicksOf(monitor.pid());
    QThread::msleep(unsigned(plan.monitorIdleMs));
    const qint64 cpuIdle = cpuTicksOf(monitor.pid()) - cpuIdleBefore;
    const qint64 idleNs = monotonicNs() - idleFrom;
    const int status = monitor.interrupt();
    const double baseline = catPercent(frames, folder);

    const Compared c = compared(frames, monitor.jsonPath());
    const std::vector<Reported> &reported = c.reported;
    const std::vector<qint64> &writtenEnds = c.writtenEnds;
    const std::vector<qint64> &reportedEnds = c.reportedEnds;

    // The time of each frame that starts where a written one starts.
    std::vector<double> errorMs, signedErrorMs;
    for (std::size_t w = 0, r = 0; w < frames.size() && r < reported.size();) {
        const qint64 writtenStart = w ? writtenEnds[w - 1] : 0;
        const qint64 reportedStart = r ? reportedEnds[r - 1] : 0;
        if (writtenStart == reportedStart) {
            if (reported[r].timeUs >= 0) {
                const double error =
                    double(reported[r].timeUs * 1000 - played.startWallNs[w]) / 1e6;
                signedErrorMs.push_back(error);
                errorMs.push_back(std::abs(error));
            }
            ++w;
            ++r;
        } else if (writtenStart < reportedStart) {
            ++w;
        } else {
            ++r;
        }
    }

    const bool complete = played.written && status == 130 && c.sameBytes &&
                          c.summaryFrames == qint64(reported.size());
    QString trouble;
    if (!played.written)
        trouble = QStringLiteral("the line could not be written; ");
    if (status != 130)
        trouble += QStringLiteral("SIGINT ended it with %1; ").arg(status);
    if (!c.sameBytes)
        trouble += QStringLiteral("%1 bytes written, %2 reported; ")
                       .arg(c.writtenBytes)
                       .arg(c.reportedBytes);
    if (c.summaryFrames != qint64(reported.size()))
        trouble += QStringLiteral("summary of %1 frames; ").arg(c.summaryFrames);

    const Stats late = statsOf(played.lateMs);
    const Stats error = statsOf(errorMs);
    const Stats signedError = statsOf(signedErrorMs);
    const double runPercent = ticksPercent(cpuRun, runNs);
    const double idlePercent = ticksPercent(cpuIdle, idleNs);
    const qint64 ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    std::vector<Row> rows;
    rows.push_back(
        {QStringLiteral("Monitor: frames on a saturated 115200 8E1 line, t3.5 + 0.25 ms apart"),
         QStringLiteral("%1 merged, %2 cut of %3 reported")
             .arg(c.merged.size())
             .arg(c.cut.size())
             .arg(thousands(qint64(reported.size()))),
         QStringLiteral("%1 frames written").arg(thousands(qint64(frames.size()))), QString(),
         QStringLiteral("0 merged, cut or split"),
         complete && c.merged.empty() && c.cut.empty() && c.split == 0 && c.joined == 0,
         trouble + QStringLiteral("%1 split by their CRC, %5 joined; %2 to %3 bytes a frame, each "
                                  "written whole as its last stop bit ends; %4 s")
                       .arg(c.split)
                       .arg(std::min_element(
                                frames.begin(), frames.end(),
                                [](const auto &a, const auto &b) { return a.size() < b.size(); })
                                ->size())
                       .arg(std::max_element(
                                frames.begin(), frames.end(),
                                [](const auto &a, const auto &b) { return a.size() < b.size(); })
                                ->size())
                       .arg(double(runNs) / 1e9, 0, 'f', 1)
                       .arg(c.joined)});
    rows.push_back(
        {QStringLiteral("Monitor: time of a frame's first byte against the writer's clock"),
         formatStats(error, QStringLiteral("ms"), 3),
         formatStats(late, QStringLiteral("ms late (writer's frames)"), 3),
         QString::number(late.median > 0 ? error.median / late.median : 0, 'f', 1),
         QStringLiteral("median <= 0.1 ms, p99 <= 1 ms"),
         complete && error.count > 0 && error.median <= 0.1 && error.p99 <= 1.0,
         QStringLiteral("p99 %1 ms, signed median %2 ms, %3 frames; the writer's time: wall "
                        "clock at the frame's write less its length in characters")
             .arg(error.p99, 0, 'f', 3)
             .arg(signedError.median, 0, 'f', 3)
             .arg(error.count)});
    rows.push_back({QStringLiteral("Monitor: CPU on that saturated line"),
                    QString::number(runPercent, 'f', 2) + QStringLiteral(" % of a core"),
                    baseline < 0 ? QStringLiteral("cat could not be run")
                                 : QString::number(baseline, 'f', 2) +
                                       QStringLiteral(" % (cat copying the same line to a file)"),
                    baseline > 0 ? QString::number(runPercent / baseline, 'f', 1) : QString(),
                    QStringLiteral("<= 2 %"), complete && runPercent <= 2.0,
                    QStringLiteral("%1 ticks of 1/%2 s over %3 s (/proc/<pid>/stat), %4 us a frame")
                        .arg(cpuRun)
                        .arg(ticksPerSecond)
                        .arg(double(runNs) / 1e9, 0, 'f', 1)
                        .arg(double(cpuRun) * 1e6 / double(ticksPerSecond) /
                                 double(std::max<std::size_t>(1, frames.size())),
                             0, 'f', 0)});
    rows.push_back({QStringLiteral("Monitor: CPU on an idle line"),
                    QString::number(idlePercent, 'f', 3) + QStringLiteral(" % of a core"),
                    QStringLiteral("%1 s wall").arg(double(idleNs) / 1e9, 0, 'f', 1), QString(),
                    QStringLiteral("<= 0.1 %"), cpuIdle >= 0 && idlePercent <= 0.1,
                    QStringLiteral("%1 ticks of 1/%2 s, after the frames above")
                        .arg(cpuIdle)
                        .arg(ticksPerSecond)});
    return rows;
}

// A line played byte by byte, each byte written as its stop bit ends, one
// silence of the sender inside each frame.
struct BytePlayed
{
    qint64 begun = 0;
    // Frames the writer itself parted: a silence inside it, as written (its
    // late wake-ups included), of t3.5 or more. The monitor must cut those
    // (unless it can join the pieces again), never the others.
    std::vector<bool> partedByWriter;
    // How late each byte was written.
    std::vector<double> lateMs;
    bool written = true;
};

BytePlayed playBytes(const Line &line, const std::vector<QByteArray> &frames, qint64 characterNs,
                     qint64 t35Ns, unsigned seed)
{
    std::minstd_rand random(seed);
    const qint64 pauseNs = t35Ns - characterNs / 2;
    const qint64 betweenNs = t35Ns + 1'000'000;
    BytePlayed played;
    played.begun = monotonicNs();
    std::thread writer([&] {
        ::prctl(PR_SET_TIMERSLACK, 1UL);
        qint64 lastWrite = monotonicNs();
        for (const QByteArray &frame : frames) {
            const qsizetype pauseBefore = 1 + qsizetype(random() % unsigned(frame.size() - 1));
            bool parted = false;
            for (qsizetype i = 0; i < frame.size() && played.written; ++i) {
                const qint64 silence = i == 0 ? betweenNs : i == pauseBefore ? pauseNs : 0;
                const qint64 due = lastWrite + silence + characterNs;
                sleepUntilNs(due);
                const qint64 now = monotonicNs();
                played.lateMs.push_back(double(now - due) / 1e6);
                if (i > 0 && now - lastWrite - characterNs >= t35Ns)
                    parted = true;
                played.written = line.write(frame.constData() + i, 1);
                lastWrite = monotonicNs();
            }
            played.partedByWriter.push_back(parted);
        }
    });
    writer.join();
    return played;
}

// Frames short enough that ten thousand of them pass at 9600 baud in minutes.
std::vector<QByteArray> shortFrames(qsizetype count)
{
    std::vector<QByteArray> frames;
    for (unsigned seed = 40; qsizetype(frames.size()) < count; ++seed) {
        for (QByteArray &frame : busFrames(1000, seed)) {
            if (frame.size() <= 13 && qsizetype(frames.size()) < count)
                frames.push_back(std::move(frame));
        }
    }
    return frames;
}

// Frames each with a silence of t3.5 less half a character inside, which
// must never cut them, played byte by byte; frames t3.5 + 1 ms apart.
Row innerSilences(const Plan &plan, const QString &folder, const QString &settings,
                  qint64 characterNs, qint64 t35Ns, const QString &goal, double allowedPerMille)
{
    const QString scenario = QStringLiteral("Monitor: frames with an inner silence at ") + settings;
    Line line;
    if (!line.isValid())
        return setupFailed(scenario, QStringLiteral("no pty"));
    MonitorChild monitor(line.path(), settings, folder);
    if (!monitor.waitUntilWatching())
        return setupFailed(scenario, QStringLiteral("the monitor did not start"));
    const std::vector<QByteArray> frames = shortFrames(plan.monitorFrames);
    QThread::msleep(200);
    const BytePlayed played = playBytes(line, frames, characterNs, t35Ns, 7);
    QThread::msleep(100);
    const double seconds = double(monotonicNs() - played.begun) / 1e9;
    const int status = monitor.interrupt();

    const Compared c = compared(frames, monitor.jsonPath());
    const bool complete = played.written && status == 130 && c.sameBytes &&
                          c.summaryFrames == qint64(c.reported.size());
    // A cut inside a frame the writer kept whole is the monitor's own.
    qsizetype ownCuts = 0;
    for (const qint64 at : c.cut) {
        const auto frame = std::upper_bound(c.writtenEnds.begin(), c.writtenEnds.end(), at);
        if (frame != c.writtenEnds.end() &&
            !played.partedByWriter[std::size_t(frame - c.writtenEnds.begin())])
            ++ownCuts;
    }
    const qsizetype parted =
        std::count(played.partedByWriter.begin(), played.partedByWriter.end(), true);
    const Stats late = statsOf(played.lateMs);
    const double perMille =
        1000.0 * double(ownCuts) / double(std::max<std::size_t>(1, frames.size()));
    return {scenario + QStringLiteral(" (t3.5 - 0.5 character inside each, byte by byte)"),
            QStringLiteral("%1 cut in frames the writer kept whole (%2 cuts in all), %3 merged "
                           "of %4 reported")
                .arg(ownCuts)
                .arg(c.cut.size())
                .arg(c.merged.size())
                .arg(thousands(qint64(c.reported.size()))),
            QStringLiteral("%1 of %2 parted by the writer's own lateness")
                .arg(parted)
                .arg(thousands(qint64(frames.size()))),
            QString(),
            goal,
            complete && perMille <= allowedPerMille,
            QStringLiteral("%1 joined, %2 split; the writer's bytes late by %3 (min / median / "
                           "max), p99 %4 ms; %5 s%6")
                .arg(c.joined)
                .arg(c.split)
                .arg(formatStats(late, QStringLiteral("ms"), 3))
                .arg(late.p99, 0, 'f', 3)
                .arg(seconds, 0, 'f', 1)
                .arg(complete ? QString()
                              : QStringLiteral("; incomplete: status %1, %2 of %3 bytes")
                                    .arg(status)
                                    .arg(c.reportedBytes)
                                    .arg(c.writtenBytes))};
}

// Counts the lines of a file that start with `prefix`, a buffer at a time.
qint64 countLines(const QString &path, const QByteArray &prefix, QByteArray *lastLine)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 count = 0;
    QByteArray line;
    while (!file.atEnd()) {
        line = file.readLine();
        if (line.startsWith(prefix))
            ++count;
    }
    if (lastLine)
        *lastLine = line;
    return count;
}

// Counts the records of a pcap capture by their headers.
qint64 countRecords(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.read(24).size() != 24)
        return -1;
    qint64 count = 0;
    for (;;) {
        const QByteArray header = file.read(16);
        if (header.isEmpty())
            return count;
        if (header.size() != 16)
            return -1;
        const quint32 length = quint8(header[8]) | quint8(header[9]) << 8 |
                               quint8(header[10]) << 16 | quint32(quint8(header[11])) << 24;
        if (!file.seek(file.pos() + length))
            return -1;
        ++count;
    }
}

std::vector<Row> millionFrames(const Plan &plan, const QString &folder)
{
    const QString scenario = QStringLiteral("Monitor: resident growth");
    Line line;
    if (!line.isValid())
        return {setupFailed(scenario, QStringLiteral("no pty"))};
    // 4 Mbaud: a character every 2.75 us, so that a batch of frames written
    // at once spans on the line no more than the time it takes to write it.
    MonitorChild monitor(line.path(), QStringLiteral("4000000,e,8,1"), folder);
    if (!monitor.waitUntilWatching())
        return {setupFailed(scenario, QStringLiteral("the monitor did not start"))};
    constexpr qint64 characterNs = 11'000'000'000LL / 4'000'000;
    const qsizetype total = plan.monitorSoakFrames;
    const qsizetype warmUp = total / 10;

    // Back-to-back frames in batches below the monitor's longest run, a
    // silence after each: the monitor splits each batch by the CRCs of its
    // frames, as it does an adapter's batch. The next batch waits until the
    // monitor has reported the last one, so that two never arrive as one run
    // however late the monitor reads.
    constexpr qsizetype batchBytes = 1000;
    qsizetype sent = 0;
    qsizetype batches = 0;
    qint64 warmKiB = -1;
    bool written = true;
    const qint64 begun = monotonicNs();
    std::vector<QByteArray> frames;
    std::size_t next = 0;
    unsigned seed = 1;
    std::deque<QByteArray> held; // frames held back from the batch before
    const auto nextFrame = [&]() -> QByteArray {
        if (!held.empty()) {
            QByteArray frame = std::move(held.front());
            held.pop_front();
            return frame;
        }
        if (next == frames.size()) {
            frames = busFrames(std::min<qsizetype>(total, 100'000), ++seed);
            next = 0;
        }
        return frames[next++];
    };
    QByteArray batch;
    qint64 capturedBytes = 24; // the capture's header
    int stalls = 0;
    qint64 reported = monotonicNs();
    while (written && sent < total && monitor.isAlive()) {
        batch.clear();
        qsizetype inBatch = 0;
        QByteArray last;
        qint64 batchRecordBytes = 0;
        while (sent + inBatch < total) {
            QByteArray frame = nextFrame();
            if (batch.size() + frame.size() > batchBytes) {
                held.push_front(std::move(frame));
                break;
            }
            batch += frame;
            batchRecordBytes += 16 + frame.size();
            last = std::move(frame);
            ++inBatch;
        }
        // A run that happens to end in a good CRC is taken as one frame, not
        // split: its last frame waits for the next batch.
        if (inBatch > 1 && endsInGoodCrc(batch)) {
            batch.chop(last.size());
            batchRecordBytes -= 16 + last.size();
            held.push_front(std::move(last));
            --inBatch;
        }
        // The monitor saw the silence before the last batch was reported: a
        // margin on top keeps this batch's start on the line clear of it.
        sleepUntilNs(reported + batch.size() * characterNs + 250'000);
        written = line.write(batch.constData(), batch.size());
        sent += inBatch;
        ++batches;
        // Once the capture holds the batch, the monitor has read it and seen
        // the silence after it.
        capturedBytes += batchRecordBytes;
        const qint64 waitFrom = monotonicNs();
        for (;;) {
            const qint64 size = QFileInfo(monitor.pcapPath()).size();
            if (size >= capturedBytes || !monitor.isAlive())
                break;
            if (monotonicNs() - waitFrom > 2'000'000'000) {
                // Fewer frames than written: take what it made of them.
                ++stalls;
                capturedBytes = size;
                break;
            }
            sleepUntilNs(monotonicNs() + 100'000);
        }
        reported = monotonicNs();
        if (warmKiB < 0 && sent >= warmUp)
            warmKiB = residentKiB(monitor.pid());
    }
    // The last batch ends with the silence after it.
    QThread::msleep(50);
    const qint64 endKiB = residentKiB(monitor.pid());
    const double seconds = double(monotonicNs() - begun) / 1e9;
    const int status = monitor.interrupt();

    QByteArray summary;
    const qint64 jsonFrames = countLines(monitor.jsonPath(), "{\"n\":", &summary);
    const qint64 summaryFrames = QJsonDocument::fromJson(summary)
                                     .object()
                                     .value(u"summary")
                                     .toObject()
                                     .value(u"frames")
                                     .toInteger(-1);
    const qint64 records = countRecords(monitor.pcapPath());
    const qint64 jsonBytes = QFile(monitor.jsonPath()).size();
    const qint64 pcapBytes = QFile(monitor.pcapPath()).size();
    QFile::remove(monitor.jsonPath());
    QFile::remove(monitor.pcapPath());

    const bool complete = written && status == 130 && stalls == 0 && jsonFrames == total &&
                          summaryFrames == total && records == total && warmKiB > 0 && endKiB > 0;
    const qint64 growthKiB = endKiB - warmKiB;
    QString counts = QStringLiteral("%1 JSON, %2 pcap, summary %3")
                         .arg(thousands(jsonFrames), thousands(records), thousands(summaryFrames));
    if (status != 130)
        counts += QStringLiteral(", SIGINT ended it with %1").arg(status);
    if (stalls > 0)
        counts += QStringLiteral(", %1 batches not reported in full within 2 s").arg(stalls);
    return {{QStringLiteral("Monitor: resident growth over %1 frames with --pcap and --json, "
                            "after %2 frames")
                 .arg(thousands(total - warmUp), thousands(warmUp)),
             QString::number(double(growthKiB) / 1024, 'f', 2) + QStringLiteral(" MiB"),
             QStringLiteral("%1 MiB resident after warm-up").arg(double(warmKiB) / 1024, 0, 'f', 1),
             QString(), QStringLiteral("<= 2 MiB"), complete && growthKiB <= 2 * 1024,
             QStringLiteral("%1 frames sent, reported: %2; in %3 batches of back-to-back frames up "
                            "to %4 bytes at 4000000,e,8,1, each batch written once the monitor "
                            "had reported the last, split by the monitor by CRC; "
                            "%5 MiB JSON, %6 MiB pcap; %7 s, %8 frames/s")
                 .arg(thousands(sent), counts, thousands(batches))
                 .arg(batchBytes)
                 .arg(double(jsonBytes) / (1 << 20), 0, 'f', 0)
                 .arg(double(pcapBytes) / (1 << 20), 0, 'f', 0)
                 .arg(seconds, 0, 'f', 0)
                 .arg(double(sent) / seconds, 0, 'f', 0)}};
}

} // namespace

std::vector<Row> busMonitor(const Plan &plan)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return {setupFailed(QStringLiteral("Monitor"), QStringLiteral("no temporary folder"))};
    std::vector<Row> rows = saturatedLine(plan, folder.path());
    rows.push_back(innerSilences(plan, folder.path(), QStringLiteral("9600,n,8,1"), 1'041'666,
                                 3'646'000, QStringLiteral("0 cut"), 0));
    rows.push_back(innerSilences(plan, folder.path(), QStringLiteral("115200,e,8,1"),
                                 characterNs115200, 1'750'000,
                                 QStringLiteral("at most 1 in 1,000 cut"), 1));
    for (Row &row : millionFrames(plan, folder.path()))
        rows.push_back(std::move(row));
    return rows;
}

} // namespace tallowick::bench
