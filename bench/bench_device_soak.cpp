// The device over a long run and at rest: the resident growth over a million
// requests on Modbus TCP and RTU over TCP, and the CPU it spends waiting with
// a serial line and two TCP connections open.
#include "bench_device_peer.h"
#include "bench_scenarios.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QThread>

#include <poll.h>
#include <unistd.h>

#include <thread>

namespace tallowick::bench {

namespace {

QString thousands(qint64 n)
{
    return QLocale(QLocale::English).toString(n);
}

// The time its threads ran, in nanoseconds (/proc/PID/task/*/schedstat): the
// same as the ticks, finer than a tick.
qint64 runNs(qint64 pid)
{
    qint64 sum = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (file.open(QIODevice::ReadOnly))
            sum += file.readAll().split(' ').value(0).toLongLong();
    }
    return sum;
}

// Runs `count` exchanges on each client at once, one thread each, from
// request `from` on; the exchanges that failed.
qint64 exchangeOnBoth(BlockingClient &rtu, BlockingClient &mbap, int from, int count)
{
    std::atomic<qint64> failed{0};
    const auto run = [&](BlockingClient &client, bool isMbap) {
        for (int i = from; i < from + count; ++i) {
            char answer[256];
            const QByteArray request = isMbap ? mbapAdu(i) : rtuRequest(i);
            if (!client.exchange(request, isMbap ? mbapAnswerLength(i) : rtuAnswerLength(i),
                                 answer) ||
                answer[isMbap ? 7 : 1] != request[isMbap ? 7 : 1])
                ++failed;
        }
    };
    std::thread other([&] { run(mbap, true); });
    run(rtu, false);
    other.join();
    return failed;
}

Row millionRequests(const Plan &plan)
{
    const qint64 total = plan.deviceSoakRequests;
    const QString scenario =
        QStringLiteral("Device: resident growth over %1 requests").arg(thousands(total));
    // One request more than the run: the device ends by --requests after it,
    // which shows it counted every one.
    DevicePeer device({QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--mbap"),
                       QStringLiteral("0"), QStringLiteral("--requests"),
                       QString::number(total + 1)});
    if (!device.trouble().isEmpty())
        return setupFailed(scenario, device.trouble());
    BlockingClient rtu(device.port(QStringLiteral("tcp")));
    BlockingClient mbap(device.port(QStringLiteral("mbap")));
    if (!rtu.isConnected() || !mbap.isConnected())
        return setupFailed(scenario, QStringLiteral("no connection to the device"));

    const int warmUp = int(total / 20);
    const qint64 begun = monotonicNs();
    qint64 failed = exchangeOnBoth(rtu, mbap, 0, warmUp / 2);
    const qint64 warmKiB = residentKiB(device.pid());
    failed += exchangeOnBoth(rtu, mbap, warmUp / 2, int(total - warmUp) / 2);
    const qint64 endKiB = residentKiB(device.pid());
    const double seconds = double(monotonicNs() - begun) / 1e9;
    rtu.exchange(rtuRequest(0), rtuAnswerLength(0));
    const test::ProgramEnded ended = device.process().finish(10'000);
    const qint64 growthKiB = endKiB - warmKiB;
    return {QStringLiteral("Device: resident growth over %1 requests (Modbus TCP and RTU over "
                           "TCP, one client each), after %2")
                .arg(thousands(total - warmUp), thousands(warmUp)),
            QString::number(double(growthKiB) / 1024, 'f', 2) + QStringLiteral(" MiB"),
            QStringLiteral("%1 MiB resident after warm-up").arg(double(warmKiB) / 1024, 0, 'f', 1),
            QString(),
            QStringLiteral("<= 2 MiB, every request answered"),
            warmKiB > 0 && endKiB > 0 && failed == 0 && ended.status == 0 && growthKiB <= 2 * 1024,
            QStringLiteral("VmRSS of /proc/PID/status; %1 failed; --requests %2 ended it with "
                           "status %3; %4 s, %5 requests/s")
                .arg(failed)
                .arg(thousands(total + 1))
                .arg(ended.status)
                .arg(seconds, 0, 'f', 0)
                .arg(double(total) / seconds, 0, 'f', 0)};
}

Row idle(const Plan &plan)
{
    const QString scenario = QStringLiteral("Device: idle CPU, a serial line and two TCP "
                                            "connections open");
    test::PtyPair pty;
    if (!pty.isValid())
        return setupFailed(scenario, QStringLiteral("no pty"));
    DevicePeer device({QStringLiteral("--serial"), pty.slavePath(), QStringLiteral("--tcp"),
                       QStringLiteral("0"), QStringLiteral("--mbap"), QStringLiteral("0")});
    if (!device.trouble().isEmpty())
        return setupFailed(scenario, device.trouble());
    BlockingClient rtu(device.port(QStringLiteral("tcp")));
    BlockingClient mbap(device.port(QStringLiteral("mbap")));
    // One exchange on each link first: whatever a reply sets going has ended
    // by the time the wait is measured.
    pty.write(rtuRequest(0));
    const bool serialAnswered = pty.read(1000, 50).size() == rtuAnswerLength(0);
    const qint64 failed = exchangeOnBoth(rtu, mbap, 0, 1);
    QThread::msleep(500);

    const qint64 ticksBefore = cpuTicksOf(device.pid());
    const qint64 ranBefore = runNs(device.pid());
    const qint64 from = monotonicNs();
    QThread::msleep(unsigned(plan.deviceIdleMs));
    const qint64 wallNs = monotonicNs() - from;
    const qint64 ticks = cpuTicksOf(device.pid()) - ticksBefore;
    const qint64 ranNs = runNs(device.pid()) - ranBefore;
    const double percent =
        100.0 * double(ticks) / double(::sysconf(_SC_CLK_TCK)) / (double(wallNs) / 1e9);
    return {scenario,
            QString::number(percent, 'f', 3) + QStringLiteral(" % of a core"),
            QStringLiteral("%1 s wall").arg(double(wallNs) / 1e9, 0, 'f', 1),
            QString(),
            QStringLiteral("<= 0.1 %"),
            serialAnswered && failed == 0 && ticksBefore >= 0 && percent <= 0.1,
            QStringLiteral("%1 ticks of 1/%2 s (utime + stime of /proc/PID/stat); its threads "
                           "ran %3 ms by schedstat (%4 %); after one exchange on each link%5")
                .arg(ticks)
                .arg(::sysconf(_SC_CLK_TCK))
                .arg(double(ranNs) / 1e6, 0, 'f', 2)
                .arg(100.0 * double(ranNs) / double(wallNs), 0, 'f', 4)
                .arg(serialAnswered && failed == 0 ? QString() : QStringLiteral(", which failed"))};
}

} // namespace

std::vector<Row> deviceSoak(const Plan &plan)
{
    return {millionRequests(plan)};
}

std::vector<Row> deviceIdle(const Plan &plan)
{
    return {idle(plan)};
}

} // namespace tallowick::bench
