#pragma once

#include "engine/engine_assembly.h"
#include "engine/exchange_engine.h"
#include "frames/framing.h"
#include "frames/reply_pattern.h"
#include "links/serial_link.h"
#include "platform/output_file.h"
#include "run/exchange_record.h"

#include <QObject>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tallowick {

// One run of the engine without a window: a Send of one line, or a repeat run,
// on the links and waits the window uses. Log entries go to `log` as they
// happen, oldest first (none without one); messages for the user to `err`,
// and a message refuses the run, as does a check of the run's values, which
// names the option or the file's key at fault. finished() carries the exit
// status.
//
// Each exchange ends with one result, told to the record sinks, which are
// told of the end of the run too, however it ends; each that failed is told
// on `err` in one line with its line, its result and why. A link that fails
// ends the exchange that waits on it at once (a peer that refuses or resets
// the connection, a serial port that cannot be opened).
struct RunRecording
{
    std::map<int, ReplyPattern> expect; // by line, 1 to 15
    std::vector<RecordSink *> sinks;    // the caller's
    bool mbap = false;                  // Modbus TCP framing on the TCP link
    // How a serial request's leaving the port is waited for, off the event
    // loop's thread; its moment starts the response time.
    SerialLink::Drain serialDrain = SerialLink::drainOutput;
};

class HeadlessRun : public QObject
{
    Q_OBJECT
public:
    HeadlessRun(const ExchangeInputs &inputs, bool serialMode, bool singleSend, OutputFile *log,
                std::FILE *err, RunRecording recording = {}, QObject *parent = nullptr);
    ~HeadlessRun() override;

    void start();
    // Ends the run as the Stop buttons would, then with this status.
    void interrupt(int status);

signals:
    void finished(int status);

private:
    void writeEntry(const QString &text, int lineBreaks);
    void refuse(const UserMessage &message);
    void linkFailed();
    void record(const ExchangeReport &report);
    void noteEnd(ExchangeResult result);
    void tellFailure(const ExchangeRecord &record) const;
    ExchangeOutcome classify(const ExchangeReport &report) const;
    QByteArrayView replyBody(QByteArrayView reply) const;
    int lineInTurn() const;
    void finishWhenIdle();
    int status() const;
    void finish();

    const ExchangeInputs &m_inputs;
    EngineAssembly m_parts;
    ExchangeEngine *m_engine;
    bool m_singleSend;
    OutputFile *m_log;
    std::FILE *m_err;

    // The worst that happened so far.
    enum class Outcome { AllReplied, SomeFailed, Refused, Interrupted };
    Outcome m_outcome = Outcome::AllReplied;
    int m_interruptStatus = 0;
    int m_exchanges = 0; // the engine told of their end
    bool m_finished = false;
    RunRecording m_recording;
    std::optional<MbapFraming> m_mbap; // Modbus TCP on the TCP link
    ExchangeStats m_stats;
    std::chrono::system_clock::duration m_wallMinusSteady{};
    bool m_interrupting = false;
    int m_lastLine = 0; // the line of the exchange recorded last
    quint64 m_recorded = 0;
};

} // namespace tallowick
