#include "run/headless_run.h"

#include "engine/one_shot_timer.h"
#include "engine/precise_timer.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "replies/time_stamp.h"

#include <QTimer>

namespace tallowick {

namespace {

// The window's waits: its timers, and the microsecond timer where the end of
// a wait must be on time.
QTimer *preciseQTimer(QObject *parent)
{
    auto *timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}

} // namespace

HeadlessRun::HeadlessRun(const ExchangeInputs &inputs, bool serialMode, bool singleSend,
                         std::FILE *out, std::FILE *err, QObject *parent)
    : QObject(parent), m_serial(new SerialLink(this)), m_tcp(new TcpLink(this)),
      m_singleSend(singleSend), m_out(out), m_err(err)
{
    ExchangeTimers timers;
    timers.replyTimeout = new QTimerWait(preciseQTimer(this), this);
    timers.serialQuiet = new PreciseTimer(this);
    timers.repeatPause =
        new FirstOfTwoWait(new QTimerWait(preciseQTimer(this), this), new PreciseTimer(this), this);
    m_engine = new ExchangeEngine(inputs, *m_serial, *m_tcp, timers, this);
    if (serialMode)
        m_engine->toggleMode();

    connect(m_engine, &ExchangeEngine::logEntry, this, &HeadlessRun::writeEntry);
    connect(m_engine, &ExchangeEngine::logLineBreak, this, [this] { writeEntry({}, -1); });
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
    // -1: the extra line break the log puts after some entries.
    const QString line =
        lineBreaks < 0 ? QStringLiteral("\n")
                       : timeStamp() + QStringLiteral("   ") + text + QString(lineBreaks, u'\n');
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    std::fflush(m_out);
}

void HeadlessRun::refuse(const QString &text, const QString &title)
{
    const QByteArray bytes = (title + QStringLiteral(": ") + text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_err);
    std::fflush(m_err);
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
    m_serial->close();
    m_tcp->close();
    emit finished(status());
}

} // namespace tallowick
