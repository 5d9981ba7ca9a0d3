// The device over TCP: a raw blocking client's exchanges a second against
// tallowick-device, and against the benchmark's bare responder in the same
// run, over Modbus TCP and RTU over TCP; then fifty such clients at once, none
// of which may starve.
#include "bench_device_peer.h"
#include "bench_scenarios.h"

#include <atomic>
#include <latch>
#include <thread>

namespace tallowick::bench {

namespace {

struct Framing
{
    const char *name;
    const char *option; // the device's
    bool mbap;
};

constexpr Framing framings[] = {{"Modbus TCP", "--mbap", true}, {"RTU over TCP", "--tcp", false}};

// One exchange of request i; false when the answer did not come or is not
// the answer of that request (an exception, another function or transaction).
bool exchange(BlockingClient &client, bool mbap, int i)
{
    char answer[256];
    const QByteArray request = mbap ? mbapAdu(i) : rtuRequest(i);
    const qsizetype length = mbap ? mbapAnswerLength(i) : rtuAnswerLength(i);
    if (!client.exchange(request, length, answer))
        return false;
    const qsizetype function = mbap ? 7 : 1;
    return answer[function] == request[function] &&
           (!mbap || (answer[0] == request[0] && answer[1] == request[1]));
}

// Exchanges a second of one client over `count` exchanges; 0 when one failed.
double exchangesPerSecond(quint16 port, bool mbap, int count)
{
    BlockingClient client(port);
    const qint64 start = monotonicNs();
    for (int i = 0; i < count; ++i) {
        if (!exchange(client, mbap, i))
            return 0;
    }
    return count / (double(monotonicNs() - start) / 1e9);
}

Row throughput(const Plan &plan, const Framing &framing, quint16 devicePort, quint16 responderPort)
{
    // In turns, so that a change in the machine's load falls on both.
    std::vector<double> deviceRates, responderRates;
    for (int r = 0; r < plan.deviceTcpRepetitions; ++r) {
        deviceRates.push_back(
            exchangesPerSecond(devicePort, framing.mbap, plan.deviceTcpExchanges));
        responderRates.push_back(
            exchangesPerSecond(responderPort, framing.mbap, plan.deviceTcpExchanges));
    }
    const Stats ofDevice = statsOf(deviceRates);
    const Stats ofResponder = statsOf(responderRates);
    const double ratio = ofResponder.median > 0 ? ofDevice.median / ofResponder.median : 0;
    return {QStringLiteral("Device: %1 exchanges a second, one raw blocking client")
                .arg(QLatin1String(framing.name)),
            formatStats(ofDevice, QStringLiteral("/s"), 0),
            formatStats(ofResponder, QStringLiteral("/s (the bare responder)"), 0),
            QString::number(ratio, 'f', 2),
            QStringLiteral(">= 0.8"),
            ofDevice.min > 0 && ofResponder.min > 0 && ratio >= 0.8,
            QStringLiteral("%1 exchanges a run, reads and writes of one register in turn, %2 "
                           "runs each in turns; a failed exchange makes a run 0; the device's "
                           "text records to /dev/null")
                .arg(plan.deviceTcpExchanges)
                .arg(plan.deviceTcpRepetitions)};
}

// The exchanges each of `clients` clients got in `time`, all connected before
// any starts; a client whose exchange failed counts -1.
std::vector<qint64> clientCounts(quint16 port, bool mbap, int clients,
                                 std::chrono::milliseconds time)
{
    std::vector<qint64> counts(std::size_t(clients), 0);
    std::atomic<bool> stop{false};
    std::latch ready(clients + 1);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            BlockingClient client(port);
            ready.arrive_and_wait();
            qint64 &count = counts[std::size_t(c)];
            while (!stop.load(std::memory_order_relaxed)) {
                if (!exchange(client, mbap, int(count))) {
                    count = -1;
                    return;
                }
                ++count;
            }
        });
    }
    ready.arrive_and_wait();
    std::this_thread::sleep_for(time);
    stop = true;
    for (std::thread &thread : threads)
        thread.join();
    return counts;
}

QString slowestAndFastest(const std::vector<qint64> &counts)
{
    const auto [slowest, fastest] = std::minmax_element(counts.begin(), counts.end());
    return QStringLiteral("slowest %1, fastest %2 exchanges").arg(*slowest).arg(*fastest);
}

Row manyClients(const Plan &plan, const Framing &framing, quint16 devicePort, quint16 responderPort)
{
    const auto time = std::chrono::milliseconds(plan.deviceClientsMs);
    const std::vector<qint64> ofDevice =
        clientCounts(devicePort, framing.mbap, plan.deviceClients, time);
    const std::vector<qint64> ofResponder =
        clientCounts(responderPort, framing.mbap, plan.deviceClients, time);
    const auto [slowest, fastest] = std::minmax_element(ofDevice.begin(), ofDevice.end());
    const double ratio = *fastest > 0 ? double(*slowest) / double(*fastest) : 0;
    qint64 total = 0;
    for (const qint64 count : ofDevice)
        total += std::max<qint64>(count, 0);
    return {QStringLiteral("Device: %1 clients at once, %2")
                .arg(plan.deviceClients)
                .arg(QLatin1String(framing.name)),
            slowestAndFastest(ofDevice),
            slowestAndFastest(ofResponder) + QStringLiteral(" (the bare responder)"),
            QString::number(ratio, 'f', 2),
            QStringLiteral("slowest >= half the fastest"),
            *slowest > 0 && ratio >= 0.5,
            QStringLiteral("each a raw blocking client, all connected before any starts, over "
                           "%1 s; %2 exchanges a second in all (-1: an exchange failed)")
                .arg(double(plan.deviceClientsMs) / 1000, 0, 'f', 1)
                .arg(double(total) * 1000 / plan.deviceClientsMs, 0, 'f', 0)};
}

using Measure = Row (*)(const Plan &, const Framing &, quint16 devicePort, quint16 responderPort);

// For each kind of TCP link, the device on it and the bare responder beside
// it: the row `measure` makes of their ports, or why they could not be had.
std::vector<Row> againstResponder(const Plan &plan, const QString &what, Measure measure)
{
    std::vector<Row> rows;
    for (const Framing &framing : framings) {
        const QString scenario = what.arg(QLatin1String(framing.name));
        DevicePeer device({QLatin1String(framing.option), QStringLiteral("0")});
        const test::PeerProcess responder = startResponder(0, framing.mbap);
        if (!device.trouble().isEmpty())
            rows.push_back(setupFailed(scenario, device.trouble()));
        else if (!responder.isRunning())
            rows.push_back(setupFailed(scenario, QStringLiteral("the responder did not start")));
        else
            rows.push_back(measure(plan, framing, device.port(QLatin1String(framing.option).mid(2)),
                                   responder.port()));
    }
    return rows;
}

} // namespace

std::vector<Row> deviceTcp(const Plan &plan)
{
    return againstResponder(plan, QStringLiteral("Device: %1 exchanges a second"), throughput);
}

std::vector<Row> deviceClients(const Plan &plan)
{
    return againstResponder(plan, QStringLiteral("Device: many clients at once, %1"), manyClients);
}

} // namespace tallowick::bench
