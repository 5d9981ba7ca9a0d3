#pragma once

#include "monitor/frame_cutter.h"
#include "monitor/frame_pairing.h"
#include "monitor/frame_record.h"
#include "monitor/monitor_options.h"
#include "platform/output_file.h"
#include "platform/precise_timer.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace tallowick {

// Watches a serial line for tallowick-monitor: reads it, never writes it,
// and writes each frame as it ends.
class BusMonitor : public QObject
{
    Q_OBJECT
public:
    explicit BusMonitor(const MonitorOptions &options, QObject *parent = nullptr);
    ~BusMonitor() override;

    // Opens the port, then the files: on a refusal the reason, and nothing
    // is written anywhere.
    std::optional<QString> open();
    void start();
    // Ends the watch: the frame in progress, the summary, the files closed.
    void finish(int status);

signals:
    void finished(int status);

private:
    void readable();
    // Reads what the port holds; false when the watch ended.
    bool readPort();
    void tellUnanswered(const std::vector<Unanswered> &requests);
    void silenceEnded();
    void handle(std::vector<CutFrame> frames);
    void armSilence();
    void warnOfLatencyTimer();
    void flushOutputs();

    MonitorOptions m_options;
    FrameCutter m_cutter;
    FramePairing m_pairing;
    MonitorSummary m_summary;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    PreciseTimer m_silence;
    QTimer m_duration;
    // Standard output holds one thing: a capture or JSON lines asked for
    // with "-", else the text, which then goes to standard error.
    std::unique_ptr<OutputFile> m_standardOutput;
    std::unique_ptr<OutputFile> m_standardError;
    std::unique_ptr<OutputFile> m_jsonFile;
    std::unique_ptr<OutputFile> m_pcapFile;
    OutputFile *m_text = nullptr;
    bool m_frameLines = false; // a line a frame on m_text
    OutputFile *m_json = nullptr;
    OutputFile *m_pcap = nullptr;
    OutputFaults m_outputFaults{QStringLiteral("tallowick-monitor")};
    bool m_createdPcap = false;
    qint64 m_wallMinusMonotonicUs = 0;
    bool m_finished = false;
};

} // namespace tallowick
