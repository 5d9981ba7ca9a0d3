#pragma once

#include "engine/engine_assembly.h"
#include "engine/exchange_engine.h"

#include <QObject>
#include <cstdio>
#include <memory>

namespace tallowick {

// One run of the engine without a window: a Send of one line, or a repeat run,
// on the links and waits the window uses. Log entries go to `out` as they
// happen, oldest first; messages for the user to `err`, and a message refuses
// the run. finished() carries the exit status.
class HeadlessRun : public QObject
{
    Q_OBJECT
public:
    // Exit statuses.
    static constexpr int AllReplied = 0;
    static constexpr int SomeFailed = 1;
    static constexpr int Refused = 2;

    HeadlessRun(const ExchangeInputs &inputs, bool serialMode, bool singleSend, std::FILE *out,
                std::FILE *err, QObject *parent = nullptr);
    ~HeadlessRun() override;

    void start();
    // Ends the run as the Stop buttons would, then with this status.
    void interrupt(int status);

signals:
    void finished(int status);

private:
    void writeEntry(const QString &text, int lineBreaks);
    void refuse(const UserMessage &message);
    void noteEnd(ExchangeResult result);
    void finishWhenIdle();
    int status() const;
    void finish();

    const ExchangeInputs &m_inputs;
    EngineAssembly m_parts;
    ExchangeEngine *m_engine;
    bool m_singleSend;
    std::FILE *m_out;
    std::FILE *m_err;

    // The worst that happened so far.
    enum class Outcome { AllReplied, SomeFailed, Refused, Interrupted };
    Outcome m_outcome = Outcome::AllReplied;
    int m_interruptStatus = 0;
    int m_exchanges = 0;
    bool m_finished = false;
    bool m_linkOpenFailed = false;
};

} // namespace tallowick
