#pragma once

// What every scenario of the benchmark needs: clocks, statistics, the frames,
// and the test kit's window, dialogs, paint counter, peers and files.
#include "support/paint_counter.h"
#include "support/peers.h"
#include "support/pty_pair.h"
#include "support/window_fixture.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <vector>

namespace tallowick::bench {

// --- clocks and memory -----------------------------------------------------

// Monotonic time in nanoseconds; the same clock in every process of the run,
// so a child's time stamps compare with the parent's.
qint64 monotonicNs();
// CPU time of this process, every thread, user and system.
std::chrono::nanoseconds processCpuTime();
// The same of the children that ended and were waited for, all together.
std::chrono::microseconds childrenCpuTime();
// Resident set size of this process, or of the process `pid`, in KiB (VmRSS);
// 0 when it cannot be read.
qint64 residentKiB(qint64 pid = 0);
// User and system time of the process `pid`, every thread, in clock ticks
// (/proc/PID/stat); -1 when it cannot be read.
qint64 cpuTicksOf(qint64 pid);
// The one-minute load average of the machine.
double loadAverage();

// --- statistics ------------------------------------------------------------

struct Stats
{
    double min = 0;
    double median = 0;
    double max = 0;
    double p99 = 0;
    int count = 0;
};
Stats statsOf(std::vector<double> values);

// --- the frames ------------------------------------------------------------

// Command line i (0 to 14) reads holding register i of unit 1.
QString commandLineText(int index);
// The frame of that line as it goes on the wire, CRC included.
QByteArray commandLineFrame(int index);
// The answer of a device that serves every request at once: registers read
// as their own address, single writes echoed.
QByteArray rtuAnswer(QByteArrayView request);
// How many bytes of `buffer` the first request takes; 0 while incomplete.
qsizetype rtuRequestLength(QByteArrayView buffer);

// `size` bytes that never repeat within 64 KiB: a device gone mad.
QByteArray floodPattern(qsizetype size);

// A complete config1.ini: the 39 keys under [SETTINGS], CR LF line ends.
QByteArray fullConfigFile(quint16 port);

// --- peers and the window ---------------------------------------------------

// This executable started again as the RTU-over-TCP responder on loopback
// (bench_responder.cpp). With `floodBytes`, every request is answered with
// that many bytes of floodPattern(); with `mbap`, it serves Modbus TCP.
test::PeerProcess startResponder(qsizetype floodBytes = 0, bool mbap = false);

// A plain blocking socket client on loopback: one request, wait for the whole
// answer, next. The baseline of every TCP figure.
class BlockingClient
{
public:
    explicit BlockingClient(quint16 port);
    ~BlockingClient();
    BlockingClient(const BlockingClient &) = delete;
    BlockingClient &operator=(const BlockingClient &) = delete;

    bool isConnected() const { return m_fd >= 0; }
    // Sends the request and reads `answerLength` bytes of answer (at most 256),
    // into `answer` when given; false when the peer closed or failed.
    bool exchange(const QByteArray &request, qsizetype answerLength, char *answer = nullptr);

private:
    int m_fd = -1;
};

// The real main window, shown offscreen, started in a temporary program
// folder that holds a full config1.ini pointing at `port` on loopback, CRC on.
struct Window : test::WindowFixture
{
    explicit Window(quint16 port = 1);
};

// Runs the event loop for the given time and nothing else.
void runEventLoopFor(std::chrono::milliseconds time);

} // namespace tallowick::bench
