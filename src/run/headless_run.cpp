#include "run/headless_run.h"

#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "log/log_entry.h"
#include "platform/line_writer.h"

#include <QTimer>

namespace tallowick {

HeadlessRun::HeadlessRun(const ExchangeInputs &inputs, bool serialMode, bool singleSend,
                         std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent), m_inputs(inputs), m_parts(assembleEngine(inputs, this)),
      m_engine(m_parts.engine), m_singleSend(singleSend), m_out(out), m_err(err)
{
    if (serialMode)
        m_engine->toggleMode();

    connect(m_engine, &ExchangeEngine::logEntry, this, &HeadlessRun::writeEntry);
    // The extra line break the log puts after some entries.
    connect(m_engine, &ExchangeEngine::logLineBreak, this,
            [this] { writeUtf8(m_out, QStringLiteral("\n")); });
    connect(m_engine, &ExchangeEngine::messageRaised, this, &HeadlessRun::refuse);
    connect(m_engine, &ExchangeEngine::exchangeEnded, this, &HeadlessRun::noteEnd);
    // The end of a run is told before the end of its last exchange: the
    // outcome is taken once that has been heard of too.
    connect(
        m_engine, &ExchangeEngine::repeatingChanged, this,
        [this](bool repeating) {
            if (!repeating)
                finishWhenIdle();
        },
        Qt::QueuedConnection);
}

HeadlessRun::~HeadlessRun() = default;

void HeadlessRun::start()
{
    if (m_singleSend)
        m_engine->send();
    else
        m_engine->toggleRepeat();
    // A refusal said why through its message; an idle engine has nothing
    // more to do.
    if (!m_engine->isWaiting() && !m_engine->isRepeating())
        finish();
}

void HeadlessRun::writeEntry(const QString &text, int lineBreaks)
{
    writeUtf8(m_out, logEntryLine(text, lineBreaks));
}

void HeadlessRun::refuse(const UserMessage &message)
{
    writeUtf8(m_err, message.title + QStringLiteral(": ") + message.text + u'\n');
    if (m_engine->isWaiting() && message.title == u"COM Port Error") {
        // A serial port that cannot be opened is told while the exchange
        // already waits: a failed link, as a TCP peer that refuses is, not a
        // refused run.
        m_linkOpenFailed = true;
        QTimer::singleShot(0, this, [this] {
            m_engine->stop();
            finish();
        });
        return;
    }
    // The window would wait for its box to be closed; here nobody can, and
    // whatever the message is about, the run is not what was asked for. What
    // the engine started ends once it is back in the event loop.
    if (m_outcome != Outcome::Interrupted)
        m_outcome = Outcome::Refused;
    QTimer::singleShot(0, this, [this] {
        m_engine->stop();
        finish();
    });
}

void HeadlessRun::noteEnd(ExchangeResult result)
{
    ++m_exchanges;
    if (m_linkOpenFailed)
        result = ExchangeResult::LinkFailed;
    if (result != ExchangeResult::Reply && m_outcome == Outcome::AllReplied)
        m_outcome = Outcome::SomeFailed;
    if (m_singleSend)
        finish();
    else
        finishWhenIdle();
}

void HeadlessRun::finishWhenIdle()
{
    if (!m_engine->isRepeating() && !m_engine->isWaiting())
        finish();
}

void HeadlessRun::interrupt(int status)
{
    m_outcome = Outcome::Interrupted;
    m_interruptStatus = status;
    m_engine->stop();
    finish();
}

int HeadlessRun::status() const
{
    switch (m_outcome) {
    case Outcome::AllReplied:
        // A run in which nothing was answered proved nothing.
        return m_exchanges > 0 ? AllReplied : SomeFailed;
    case Outcome::SomeFailed:
        return SomeFailed;
    case Outcome::Refused:
        return Refused;
    case Outcome::Interrupted:
        break;
    }
    return m_interruptStatus;
}

void HeadlessRun::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_parts.serial->close();
    m_parts.tcp->close();
    if (m_exchanges == 0 && m_outcome == Outcome::AllReplied)
        writeUtf8(m_err, QStringLiteral("tallowick-run: nothing was sent: the lines from %1 to %2 "
                                        "are no range\n")
                             .arg(m_inputs.value(FirstLineValue), m_inputs.value(LastLineValue)));
    emit finished(status());
}

} // namespace tallowick
