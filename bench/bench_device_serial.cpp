// The device's turnaround on a serial line: a pty pair, the device on its
// slave side, the benchmark as the master on the other. A pty carries no wire
// time: the request, written in one write(), arrives whole at once, and the
// reply's first byte is readable the moment the device writes it. What is
// measured is therefore the device's own part of a turnaround: its wait for
// the end of the request (t3.5 of silence after the last delivery), its
// --delay and its latency. On a real line the request's wire time comes
// before it and the reply's first character after it.
#include "bench_device_peer.h"
#include "bench_scenarios.h"

#include "links/line_timing.h"

#include <QThread>

#include <algorithm>

#include <poll.h>
#include <unistd.h>

namespace tallowick::bench {

namespace {

// Reads `length` bytes of reply from `fd`, the first within a second.
QByteArray readReply(int fd, qsizetype length)
{
    QByteArray reply;
    char buffer[256];
    for (pollfd p{fd, POLLIN, 0}; reply.size() < length && ::poll(&p, 1, 1000) > 0;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        reply.append(buffer, n);
    }
    return reply;
}

Row turnaround(const Plan &plan, qint32 baud, int delayMs)
{
    const QString settings = QStringLiteral("%1,n,8,1").arg(baud);
    const QString scenario =
        QStringLiteral("Device: serial turnaround at %1, --delay %2").arg(settings).arg(delayMs);
    test::PtyPair pty;
    if (!pty.isValid())
        return setupFailed(scenario, QStringLiteral("no pty"));
    DevicePeer device({QStringLiteral("--serial"), pty.slavePath(),
                       QStringLiteral("--serial-settings"), settings, QStringLiteral("--delay"),
                       QString::number(delayMs)});
    if (!device.trouble().isEmpty())
        return setupFailed(scenario, device.trouble());

    const LineTiming timing = lineTiming(*parseLineSettings(settings));
    // Without a delay the reply may start t3.5 after the request's last byte,
    // and is held to one character and 0.5 ms more. A delay counts from that
    // last byte, as the device's response_us does, t3.5 within it.
    const double t35Ms = double(timing.t35.count()) / 1e3;
    const double dueMs =
        delayMs == 0 ? double(timing.frameEnd().count()) / 1e6 : std::max<double>(delayMs, t35Ms);
    std::vector<double> turnaroundMs, writeMs;
    int wrong = 0;
    for (int i = 0; i < plan.deviceSerialRequests; ++i) {
        // Reads only: the answer of each is known.
        const QByteArray request = rtuRequest(2 * i);
        // Timed from before the write: a benchmark thread preempted between
        // the write and its clock would make a reply look early.
        const qint64 written = monotonicNs();
        if (::write(pty.masterFd(), request.constData(), size_t(request.size())) != request.size())
            return setupFailed(scenario, QStringLiteral("the pty could not be written"));
        writeMs.push_back(double(monotonicNs() - written) / 1e6);
        pollfd p{pty.masterFd(), POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0) {
            ++wrong;
            continue;
        }
        turnaroundMs.push_back(double(monotonicNs() - written) / 1e6);
        const QByteArray reply = readReply(pty.masterFd(), 7);
        if (!reply.startsWith(QByteArray::fromHex("0103020005")) || reply.size() != 7)
            ++wrong;
        // The line quiet for longer than t3.5 before the next request.
        QThread::usleep(5000);
    }
    const Stats stats = statsOf(turnaroundMs);
    const bool answered = wrong == 0 && stats.count == plan.deviceSerialRequests;
    const bool met = delayMs == 0
                         ? answered && stats.median <= dueMs + 0.5 && stats.p99 <= dueMs + 1
                         : answered && stats.min >= dueMs && stats.p99 <= dueMs + 1;
    return {scenario + QStringLiteral(": from before the request's one write() to the reply's "
                                      "first byte readable, on a pty"),
            formatStats(stats, QStringLiteral("ms"), 3),
            QStringLiteral("%1 ms (%2)")
                .arg(dueMs, 0, 'f', 3)
                .arg(delayMs == 0 ? QStringLiteral("t3.5 + 1 character")
                                  : QStringLiteral("the delay after the request's last byte")),
            QString::number(dueMs > 0 ? stats.median / dueMs : 0, 'f', 2),
            delayMs == 0 ? QStringLiteral("median within +0.5 ms, p99 within +1 ms")
                         : QStringLiteral("never early, p99 within 1 ms late"),
            met,
            QStringLiteral("against it: median %1 ms, p99 %2 ms, earliest %3 ms (t3.5 alone: "
                           "%4 ms); %5 requests, %6 unanswered or wrong; the write() itself "
                           "took up to %7 ms")
                .arg(QString::asprintf("%+.3f", stats.median - dueMs),
                     QString::asprintf("%+.3f", stats.p99 - dueMs),
                     QString::asprintf("%+.3f", stats.min - dueMs), QString::number(t35Ms, 'f', 3))
                .arg(plan.deviceSerialRequests)
                .arg(wrong)
                .arg(statsOf(writeMs).max, 0, 'f', 3)};
}

} // namespace

std::vector<Row> deviceSerialTurnaround(const Plan &plan)
{
    std::vector<Row> rows;
    for (const qint32 baud : {9600, 115200}) {
        for (const int delayMs : {0, 20})
            rows.push_back(turnaround(plan, baud, delayMs));
    }
    return rows;
}

} // namespace tallowick::bench
