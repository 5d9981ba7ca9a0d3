// tallowick-bench: the program measured against the limits of its links, each
// figure beside a baseline measured in the same run.
//
//   tallowick-bench [--smoke]
//                   [--only startup,tcp,repeat,serial,timer,idle,log,flood,soak,runner-soak,
//                          hostile,ports,monitor,device-map,device-serial,device-tcp,
//                          device-clients,device-soak,device-idle]
//
// It drives the real main window offscreen, clicking its controls, and starts
// its own peers on loopback and on pty pairs. The same executable serves as
// the responder (--responder) and as the program under start-up measurement
// (--startup-child <folder>).
#include "bench_responder.h"
#include "bench_scenarios.h"

#include <QApplication>
#include <QDateTime>
#include <QStringList>
#include <QSysInfo>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tallowick::bench {

Plan Plan::smoke()
{
    Plan plan;
    plan.tcpRepetitions = 1;
    plan.tcpPasses = 2;
    plan.jsonPairs = 1;
    plan.serialReplies = 2;
    plan.logSizes = {10, 100, 1000};
    plan.logSamples = 3;
    plan.saveRepetitions = 1;
    plan.idleMs = 200;
    plan.idleRepetitions = 1;
    plan.startUps = 1;
    plan.repeatPasses = 3;
    plan.floodBytes = 64 << 10;
    plan.floodRepetitions = 1;
    plan.soakExchanges = 300;
    plan.runnerSoakPasses = 5;
    plan.hostileBytes = 1 << 10;
    plan.decoderRepetitions = 1;
    plan.portRepetitions = 2;
    plan.timerWaits = 5;
    plan.timerIdleMs = 100;
    // A few dozen frames pass every path of the monitor's rows; the paced
    // writes at 9600 baud and the soak's batches were most of the smoke run.
    plan.monitorFrames = 40;
    plan.monitorIdleMs = 500;
    plan.monitorSoakFrames = 2'000;
    plan.deviceMapLoads = 2;
    plan.deviceSerialRequests = 3;
    plan.deviceTcpRepetitions = 1;
    plan.deviceTcpExchanges = 50;
    plan.deviceClients = 5;
    plan.deviceClientsMs = 200;
    plan.deviceSoakRequests = 2000;
    plan.deviceIdleMs = 200;
    return plan;
}

Row setupFailed(const QString &scenario, const QString &why)
{
    return {scenario, QString(), QString(), QString(), QStringLiteral("-"), false, why};
}

QString formatStats(const Stats &stats, const QString &unit, int decimals)
{
    if (stats.count == 0)
        return QStringLiteral("no samples");
    return QStringLiteral("%1 / %2 / %3 %4")
        .arg(stats.min, 0, 'f', decimals)
        .arg(stats.median, 0, 'f', decimals)
        .arg(stats.max, 0, 'f', decimals)
        .arg(unit);
}

namespace {

void print(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString mib(qint64 kib)
{
    return QString::number(double(kib) / 1024, 'f', 1) + QStringLiteral(" MiB");
}

int runBenchmark(const QStringList &arguments)
{
    const bool smoke = arguments.contains(QStringLiteral("--smoke"));
    Plan plan = smoke ? Plan::smoke() : Plan();
    // For profiling one scenario: fewer passes, or a single log size.
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--passes")); at >= 0)
        plan.tcpPasses = plan.repeatPasses = arguments.value(at + 1).toInt();
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--log-size")); at >= 0)
        plan.logSizes = {arguments.value(at + 1).toInt()};
    QStringList only;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--only")); at >= 0)
        only = arguments.value(at + 1).split(u',');
    const auto wanted = [&only](const char *name) {
        return only.isEmpty() || only.contains(QLatin1String(name));
    };

    const double loadBefore = loadAverage();
    const qint64 started = monotonicNs();
    print(QStringLiteral("tallowick-bench%1: %2, %3 cores, Qt %4, load average %5\n")
              .arg(smoke ? QStringLiteral(" --smoke") : QString())
              .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
              .arg(std::thread::hardware_concurrency())
              .arg(QString::fromLatin1(qVersion()))
              .arg(loadBefore, 0, 'f', 2));

    Memory memory;
    std::vector<Row> rows;
    const auto run = [&](const char *name, const std::function<std::vector<Row>()> &scenario) {
        if (!wanted(name))
            return;
        print(QStringLiteral("  %1 ...\n").arg(QLatin1String(name)));
        for (Row &row : scenario())
            rows.push_back(std::move(row));
    };
    run("startup", [&] { return startUp(plan, memory); });
    run("tcp", [&] { return tcpExchanges(plan); });
    run("repeat", [&] { return repeatTiming(plan); });
    run("serial", [&] { return serialEndOfReply(plan); });
    run("timer", [&] { return preciseTimer(plan); });
    run("idle", [&] { return idleCpu(plan); });
    run("log", [&] { return logGrowthAndSave(plan, memory); });
    run("flood", [&] { return flood(plan); });
    run("soak", [&] { return soak(plan); });
    run("runner-soak", [&] { return runnerSoak(plan); });
    run("hostile", [&] { return hostileInput(plan); });
    run("ports", [&] { return portList(plan); });
    run("monitor", [&] { return busMonitor(plan); });
    run("device-map", [&] { return deviceMapLoad(plan); });
    run("device-serial", [&] { return deviceSerialTurnaround(plan); });
    run("device-tcp", [&] { return deviceTcp(plan); });
    run("device-clients", [&] { return deviceClients(plan); });
    run("device-soak", [&] { return deviceSoak(plan); });
    run("device-idle", [&] { return deviceIdle(plan); });

    print(QStringLiteral("\n| Scenario | Program (min / median / max) | Baseline in the same run "
                         "| Ratio | Goal | Met | Note |\n|---|---|---|---|---|---|---|\n"));
    for (const Row &row : rows) {
        print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 |\n")
                  .arg(row.scenario, row.program, row.baseline, row.ratio, row.goal,
                       row.goal.isEmpty() ? QString()
                       : row.met          ? QStringLiteral("yes")
                                          : QStringLiteral("**no**"),
                       row.note));
    }
    if (wanted("startup") || wanted("log"))
        print(QStringLiteral("\n| Memory (resident size) | |\n|---|---|\n"));
    if (wanted("startup")) {
        print(QStringLiteral("| the program after start-up, window shown | %1 |\n"
                             "| the minimal Qt Widgets program, window shown | %2 |\n")
                  .arg(mib(memory.startUpKiB), mib(memory.minimalStartUpKiB)));
    }
    if (wanted("log")) {
        print(QStringLiteral("| benchmark process, window shown, log empty | %1 |\n"
                             "| the same with %2 log entries | %3 (+%4) |\n"
                             "| the log text itself, as held in memory (UTF-16) | %5 |\n"
                             "| the log text as Save Log writes it (UTF-8) | %6 |\n"
                             "| benchmark process after Save Log | %7 |\n")
                  .arg(mib(memory.emptyLogKiB))
                  .arg(QLocale(QLocale::English).toString(memory.fullLogEntries))
                  .arg(mib(memory.fullLogKiB), mib(memory.fullLogKiB - memory.emptyLogKiB),
                       mib(memory.logTextUtf16Bytes / 1024), mib(memory.logFileBytes / 1024),
                       mib(memory.afterSaveKiB)));
    }
    print(QStringLiteral("\nload average %1 before, %2 after; %3 s in all\n")
              .arg(loadBefore, 0, 'f', 2)
              .arg(loadAverage(), 0, 'f', 2)
              .arg(double(monotonicNs() - started) / 1e9, 0, 'f', 0));
    return 0;
}

} // namespace

} // namespace tallowick::bench

int main(int argc, char *argv[])
{
    using namespace tallowick::bench;
    if (argc >= 2 && std::strcmp(argv[1], "--responder") == 0)
        return runResponder(argc >= 3 ? std::atoll(argv[2]) : 0,
                            argc >= 4 && std::strcmp(argv[3], "mbap") == 0);
    // Offscreen unless told otherwise; the children inherit it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc >= 3 && std::strcmp(argv[1], "--startup-child") == 0)
        return startUpChild(argc, argv, QString::fromLocal8Bit(argv[2]));

    QApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--help"))) {
        std::puts(
            "usage: tallowick-bench [--smoke] [--passes N] [--log-size N]\n"
            "         [--only startup,tcp,repeat,serial,timer,idle,log,flood,soak,runner-soak,\n"
            "                 hostile,ports,monitor,device-map,device-serial,device-tcp,\n"
            "                 device-clients,device-soak,device-idle]");
        return 0;
    }
    return runBenchmark(arguments);
}
