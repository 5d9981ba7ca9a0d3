#pragma once

// What every scenario of the benchmark needs: clocks, statistics, the main
// window in a program folder of its own, and the peers it talks to.
#include "engine/exchange_engine.h"
#include "support/pty_pair.h" // the serial peers: the tests' pty pair
#include "ui/log_panel.h"
#include "ui/main_window.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace tallowick::bench {

// --- clocks and memory -----------------------------------------------------

// Monotonic time in nanoseconds; the same clock in every process of the run,
// so a child's time stamps compare with the parent's.
qint64 monotonicNs();
// CPU time of this process, every thread, user and system.
std::chrono::nanoseconds processCpuTime();
// Resident set size of this process in KiB (VmRSS).
qint64 residentKiB();
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

// --- peers -----------------------------------------------------------------

// This executable started again as the RTU-over-TCP responder on loopback
// (bench_responder.cpp). It ends when its stdin closes.
class ResponderProcess
{
public:
    // With `floodBytes`, every request is answered with that many bytes of
    // floodPattern().
    explicit ResponderProcess(qsizetype floodBytes = 0);
    ~ResponderProcess();
    ResponderProcess(const ResponderProcess &) = delete;
    ResponderProcess &operator=(const ResponderProcess &) = delete;

    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// --- the window ------------------------------------------------------------

// The real main window, shown offscreen, started in a temporary program
// folder that holds a full config1.ini pointing at `port` on loopback.
class Window
{
public:
    explicit Window(quint16 port = 1);
    ~Window();

    MainWindow &window() { return *m_window; }
    Controls &ui() { return m_window->controls(); }
    ExchangeEngine &engine() { return m_window->engine(); }
    LogPanel &log() { return m_window->log(); }
    QString folder() const { return m_folder.path(); }

    void click(QWidget *widget);
    // "保持連線" (true) or "間斷連線".
    void keepLink(bool keep);
    void useTcp(quint16 port);
    void useSerial(const QString &path, const QString &lineSettings);
    void setRepeat(int first, int last, int passes, int pauseMs);

    bool idle();
    // Runs the event loop until `done` holds, checking it after every end of
    // an exchange (and every 20 ms, for ends that are not one). False when
    // `ms` passed first.
    bool waitUntil(const std::function<bool()> &done, int ms);
    bool waitIdle(int ms)
    {
        return waitUntil([this] { return idle(); }, ms);
    }
    bool waitRunEnded(int ms);

private:
    QTemporaryDir m_folder;
    std::unique_ptr<MainWindow> m_window;
};

// Runs the event loop for the given time and nothing else.
void runEventLoopFor(std::chrono::milliseconds time);

// What the message boxes and file dialogs answer during the run.
struct DialogAnswers
{
    QString saveFilePath; // the path the save dialog returns
    QStringList messages; // the texts of the boxes shown
};
DialogAnswers &dialogAnswers();
void installDialogAnswers();

} // namespace tallowick::bench
