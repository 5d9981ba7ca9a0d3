#pragma once

#include "bench_support.h"

#include <QString>
#include <vector>

namespace tallowick::bench {

// How much each scenario does. The smoke plan only proves that every path runs.
struct Plan
{
    int tcpRepetitions = 7;
    int tcpPasses = 200; // of 15 lines each
    int jsonPairs = 15;  // the runner with --json and without, back to back
    int serialReplies = 40;
    std::vector<int> logSizes{1'000, 100'000, 1'000'000};
    int logSamples = 300;
    int saveRepetitions = 5;
    int idleMs = 5000;
    int idleRepetitions = 3;
    int startUps = 11;
    int repeatPasses = 200;
    qsizetype floodBytes = 10 << 20;
    int floodRepetitions = 3;
    int soakExchanges = 20'000;
    int runnerSoakPasses = 25'000; // of 10 lines, in each of 4 runs: 1,000,000 exchanges
    int hostileBytes = 1 << 20;
    int decoderRepetitions = 3;
    int portRepetitions = 21;
    int timerWaits = 500;
    int timerIdleMs = 1000;
    int monitorFrames = 10'000;
    int monitorIdleMs = 20'000;
    int monitorSoakFrames = 1'000'000;
    int deviceMapLoads = 21;
    int deviceSerialRequests = 200; // at each speed and delay
    int deviceTcpRepetitions = 7;
    int deviceTcpExchanges = 5000; // a repetition
    int deviceClients = 50;
    int deviceClientsMs = 3000;
    int deviceSoakRequests = 1'000'000;
    int deviceIdleMs = 10'000;

    static Plan smoke();
};

// One line of the table.
struct Row
{
    QString scenario;
    QString program;  // min / median / max and unit
    QString baseline; // the same, or the fixed figure it is held against
    QString ratio;
    QString goal;
    bool met = false;
    QString note;
};

// Figures for the memory lines below the table.
struct Memory
{
    qint64 startUpKiB = 0;        // the program, once its window is shown
    qint64 minimalStartUpKiB = 0; // the minimal Qt Widgets program
    qint64 emptyLogKiB = 0;       // this process, window shown, log empty
    qint64 fullLogKiB = 0;        // the same after the largest log
    qint64 afterSaveKiB = 0;      // and after saving it
    int fullLogEntries = 0;
    qint64 logTextUtf16Bytes = 0; // the log text as the program holds it (QString)
    qint64 logFileBytes = 0;      // the file Save Log writes (UTF-8)
};

// A row for a scenario that could not be set up.
Row setupFailed(const QString &scenario, const QString &why);

QString formatStats(const Stats &stats, const QString &unit, int decimals);

std::vector<Row> tcpExchanges(const Plan &plan);
std::vector<Row> serialEndOfReply(const Plan &plan);
std::vector<Row> preciseTimer(const Plan &plan);
std::vector<Row> repeatTiming(const Plan &plan);
std::vector<Row> idleCpu(const Plan &plan);
std::vector<Row> logGrowthAndSave(const Plan &plan, Memory &memory);
std::vector<Row> startUp(const Plan &plan, Memory &memory);
std::vector<Row> flood(const Plan &plan);
std::vector<Row> soak(const Plan &plan);
std::vector<Row> runnerSoak(const Plan &plan);
std::vector<Row> hostileInput(const Plan &plan);
std::vector<Row> portList(const Plan &plan);
std::vector<Row> busMonitor(const Plan &plan);
std::vector<Row> deviceMapLoad(const Plan &plan);
std::vector<Row> deviceSerialTurnaround(const Plan &plan);
std::vector<Row> deviceTcp(const Plan &plan);
std::vector<Row> deviceClients(const Plan &plan);
std::vector<Row> deviceSoak(const Plan &plan);
std::vector<Row> deviceIdle(const Plan &plan);

// The start-up child: this executable started again as the program would be
// (main.cpp), reporting when its main window has been painted.
int startUpChild(int argc, char **argv, const QString &programFolder);

} // namespace tallowick::bench
