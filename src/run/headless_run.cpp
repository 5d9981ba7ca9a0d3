#include "run/headless_run.h"

#include "engine/numeric_value.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "log/log_entry.h"
#include "log/time_stamp.h"
#include "platform/line_writer.h"

#include <QAbstractEventDispatcher>
#include <QTimer>

namespace tallowick {

HeadlessRun::HeadlessRun(const ExchangeInputs &inputs, bool serialMode, bool singleSend,
                         std::FILE *out, std::FILE *err, RunRecording recording, QObject *parent)
    : QObject(parent), m_inputs(inputs),
      m_parts(assembleEngine(inputs, this,
                             recording.mbap
                                 ? std::function<Link &(TcpLink &)>([this](TcpLink &tcp) -> Link & {
                                       m_mbap = new MbapLink(tcp, this);
                                       return *m_mbap;
                                   })
                                 : std::function<Link &(TcpLink &)>())),
      m_engine(m_parts.engine), m_singleSend(singleSend), m_out(out), m_err(err),
      m_recording(std::move(recording))
{
    if (serialMode) {
        m_engine->toggleMode();
        m_parts.serial->watchDrain(m_recording.serialDrain);
        connect(m_parts.serial, &SerialLink::drained, this, &HeadlessRun::noteDrained);
    }

    connect(m_engine, &ExchangeEngine::logEntry, this, &HeadlessRun::writeEntry);
    // The extra line break the log puts after some entries.
    connect(m_engine, &ExchangeEngine::logLineBreak, this, [this] {
        if (m_out)
            writeUtf8Unflushed(m_out, QStringLiteral("\n"));
    });
    // The log reaches its reader before the program waits, an entry is never
    // held back while nothing happens, and a busy run writes it in blocks.
    if (auto *dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_out)
                std::fflush(m_out);
        });
    }
    connect(m_engine, &ExchangeEngine::messageRaised, this, &HeadlessRun::refuse);
    connect(m_engine, &ExchangeEngine::exchangeEnded, this, &HeadlessRun::noteEnd);
    // The times are taken as the engine tells of the moments, directly.
    connect(m_engine, &ExchangeEngine::waitingChanged, this, [this](bool waiting) {
        if (waiting)
            openExchange();
    });
    connect(m_engine, &ExchangeEngine::requestSent, this,
            [this](int line, const QByteArray &frame) {
                // Every serial write's drain is told, in turn, whoever
                // awaits it.
                const quint64 serialWrite = m_engine->serialMode() ? ++m_serialWrites : 0;
                if (m_underway.empty())
                    return;
                Underway &now = m_underway.back();
                // A serial request has left once the port has drained.
                if (serialWrite)
                    now.serialWrite = serialWrite;
                else
                    now.sentAt = Steady::now();
                if (!m_recording.sinks.empty())
                    now.sentWall = std::chrono::system_clock::now();
                now.record.line = m_lastLine = line + 1;
                now.record.request = frame;
            });
    connect(m_engine, &ExchangeEngine::replyBytesArrived, this, [this] {
        if (!m_underway.empty())
            m_underway.front().lastBytesAt = Steady::now();
    });
    connect(m_engine, &ExchangeEngine::replyTaken, this, [this](const QByteArray &reply) {
        if (!m_underway.empty())
            m_underway.front().record.reply = reply;
    });
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

void HeadlessRun::noteDrained(Steady::time_point at)
{
    // The drains are told in the order of the writes; an exchange that ended
    // before its port drained keeps no response time.
    const quint64 write = ++m_serialDrains;
    for (Underway &underway : m_underway) {
        if (underway.serialWrite == write) {
            underway.sentAt = at;
            return;
        }
    }
}

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
    if (m_out)
        writeUtf8Unflushed(m_out, logEntryLine(text, lineBreaks));
}

void HeadlessRun::refuse(const UserMessage &message)
{
    // What the log told before the message comes before it for a reader of both.
    if (m_out)
        std::fflush(m_out);
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

int HeadlessRun::lineInTurn() const
{
    if (m_singleSend)
        return qRound(numericValue(m_inputs.lineNumber()));
    const int first = qRound(numericValue(m_inputs.value(FirstLineValue)));
    const int last = qRound(numericValue(m_inputs.value(LastLineValue)));
    return m_lastLine == 0 || m_lastLine + 1 > last ? first : m_lastLine + 1;
}

void HeadlessRun::openExchange()
{
    Underway &now = m_underway.emplace_back();
    // Until its request goes out, if it does.
    now.record.line = m_lastLine = lineInTurn();
    if (!m_recording.sinks.empty())
        now.sentWall = std::chrono::system_clock::now();
}

ExchangeOutcome HeadlessRun::classify(ExchangeResult result, const ExchangeRecord &record) const
{
    switch (result) {
    case ExchangeResult::Reply:
        break;
    case ExchangeResult::WrongCrc:
        return ExchangeOutcome::WrongCrc;
    case ExchangeResult::ReplyTooShort:
        return ExchangeOutcome::TooShort;
    case ExchangeResult::NoReply:
        return m_interrupting ? ExchangeOutcome::Interrupted : ExchangeOutcome::NoReply;
    case ExchangeResult::LinkFailed:
        return m_interrupting ? ExchangeOutcome::Interrupted : ExchangeOutcome::LinkFailed;
    }
    const QByteArray reply = record.reply.value_or(QByteArray());
    const QByteArrayView body = QByteArrayView(reply).chopped(std::min<qsizetype>(2, reply.size()));
    const auto pattern = m_recording.expect.find(record.line);
    if (pattern == m_recording.expect.end())
        return isExceptionReply(body) ? ExchangeOutcome::Exception : ExchangeOutcome::Ok;
    if (matches(pattern->second, body))
        return ExchangeOutcome::Ok;
    const bool exceptionExpected = std::holds_alternative<ExpectedException>(pattern->second);
    return isExceptionReply(body) && !exceptionExpected ? ExchangeOutcome::Exception
                                                        : ExchangeOutcome::Unexpected;
}

void HeadlessRun::noteEnd(ExchangeResult result)
{
    ++m_exchanges;
    if (m_linkOpenFailed)
        result = ExchangeResult::LinkFailed;
    // A reply that came after its exchange ended (the link kept) ends no
    // exchange of the records.
    if (!m_underway.empty()) {
        Underway ended = std::move(m_underway.front());
        m_underway.pop_front();
        ExchangeRecord &record = ended.record;
        record.outcome = classify(result, record);
        if (m_mbap) {
            switch (m_mbap->takeVerdict()) {
            case MbapLink::Verdict::BadHeader:
                record.outcome = ExchangeOutcome::BadHeader;
                break;
            case MbapLink::Verdict::CutShort:
                if (!record.reply)
                    record.outcome = ExchangeOutcome::TooShort;
                break;
            case MbapLink::Verdict::None:
            case MbapLink::Verdict::Answered:
                break;
            }
            // The CRC the link added for the engine's checks was never sent.
            if (record.reply && record.outcome != ExchangeOutcome::BadHeader)
                record.reply->chop(2);
        }
        record.n = ++m_recorded;
        // A port that told of its drain after the reply was in gave no
        // moment to count from.
        if (record.reply && ended.sentAt && ended.lastBytesAt &&
            *ended.lastBytesAt >= *ended.sentAt)
            record.response = std::chrono::duration_cast<std::chrono::microseconds>(
                *ended.lastBytesAt - *ended.sentAt);
        m_stats.record(record.line, record.outcome, record.response);
        if (!m_recording.sinks.empty()) {
            record.time = isoLocalTime(std::chrono::duration_cast<std::chrono::microseconds>(
                                           ended.sentWall.time_since_epoch())
                                           .count());
            for (RecordSink *sink : m_recording.sinks)
                sink->record(record);
        }
        if (record.outcome != ExchangeOutcome::Ok &&
            record.outcome != ExchangeOutcome::Interrupted && m_outcome == Outcome::AllReplied)
            m_outcome = Outcome::SomeFailed;
    }
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
    m_interrupting = true;
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
    if (m_out)
        std::fflush(m_out);
    if (m_exchanges == 0 && m_outcome == Outcome::AllReplied)
        writeUtf8(m_err, QStringLiteral("tallowick-run: nothing was sent: the lines from %1 to %2 "
                                        "are no range\n")
                             .arg(m_inputs.value(FirstLineValue), m_inputs.value(LastLineValue)));
    for (RecordSink *sink : m_recording.sinks)
        sink->finish(m_stats);
    emit finished(status());
}

} // namespace tallowick

#include "moc_headless_run.cpp"
