#include "run/headless_run.h"

#include "engine/numeric_value.h"
#include "frames/crc.h"
#include "frames/frame_text.h"
#include "frames/modbus_pdu.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "log/log_entry.h"
#include "log/time_stamp.h"
#include "platform/exit_status.h"
#include "platform/line_writer.h"
#include "run/value_refusal.h"

#include <QAbstractEventDispatcher>
#include <QTimer>

namespace tallowick {

HeadlessRun::HeadlessRun(const ExchangeInputs &inputs, bool serialMode, bool singleSend,
                         OutputFile *log, std::FILE *err, RunRecording recording, QObject *parent)
    : QObject(parent), m_inputs(inputs), m_parts(assembleEngine(inputs, this)),
      m_engine(m_parts.engine), m_singleSend(singleSend), m_log(log), m_err(err),
      m_recording(std::move(recording))
{
    if (m_recording.mbap)
        m_engine->setTcpFraming(&m_mbap.emplace());
    if (serialMode) {
        m_engine->toggleMode();
        m_parts.serial->watchDrain(m_recording.serialDrain);
    }
    for (Link *link : {static_cast<Link *>(m_parts.serial), static_cast<Link *>(m_parts.tcp)})
        connect(link, &Link::failed, this, &HeadlessRun::linkFailed);
    // Records give the time of day; the engine's moments are monotonic.
    m_wallMinusSteady = std::chrono::system_clock::now().time_since_epoch() -
                        std::chrono::steady_clock::now().time_since_epoch();

    connect(m_engine, &ExchangeEngine::logEntry, this, &HeadlessRun::writeEntry);
    // The extra line break the log puts after some entries.
    connect(m_engine, &ExchangeEngine::logLineBreak, this, [this] {
        if (m_log)
            m_log->write("\n");
    });
    // The log reaches its reader before the program waits, an entry is never
    // held back while nothing happens, and a busy run writes it in blocks.
    if (auto *dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            if (m_log)
                m_log->flush();
        });
    }
    connect(m_engine, &ExchangeEngine::messageRaised, this, &HeadlessRun::refuse);
    connect(m_engine, &ExchangeEngine::exchangeReported, this, &HeadlessRun::record);
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
    if (m_log)
        m_log->writeText(logEntryLine(text, lineBreaks));
}

void HeadlessRun::refuse(const UserMessage &message)
{
    // What the log told before the message comes before it for a reader of both.
    if (m_log)
        m_log->flush();
    writeUtf8(m_err, message.title + QStringLiteral(": ") + message.text + u'\n');
    if (m_engine->isWaiting() && m_engine->serialMode() && !m_parts.serial->isOpen()) {
        // A serial port that cannot be opened is told while the exchange
        // already waits: a failed link, as a TCP peer that refuses is, not a
        // refused run.
        QTimer::singleShot(0, this, [this] {
            m_engine->stop();
            finish();
        });
        return;
    }
    // The window's words name no option and no key of the file: a value the
    // run was given that caused the refusal is named here.
    if (const auto named = refusedValue(m_inputs, m_engine->serialMode(), m_singleSend))
        writeUtf8(m_err, QStringLiteral("tallowick-run: ") + *named + u'\n');
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

void HeadlessRun::linkFailed()
{
    if (m_finished)
        return;
    // Told from inside the link's own signal: the exchange ends once that is
    // over, unless a reply ended it first and another began.
    if (m_engine->isWaiting()) {
        QTimer::singleShot(0, this, [this, ended = m_exchanges] {
            if (m_exchanges == ended)
                m_engine->endWait();
        });
        return;
    }
    // Between two exchanges of a kept link: the next connects afresh.
    QTimer::singleShot(0, this, [this] { m_engine->forgetClosedLink(); });
}

int HeadlessRun::lineInTurn() const
{
    if (m_singleSend)
        return qRound(numericValue(m_inputs.lineNumber()));
    const int first = qRound(numericValue(m_inputs.value(FirstLineValue)));
    const int last = qRound(numericValue(m_inputs.value(LastLineValue)));
    return m_lastLine == 0 || m_lastLine + 1 > last ? first : m_lastLine + 1;
}

ExchangeOutcome HeadlessRun::classify(const ExchangeReport &report) const
{
    // A link that failed under the exchange failed it, however its wait
    // ended (the peer closing leaves the link closed, not failed).
    if (!report.linkFailure.isEmpty() && report.result != ExchangeResult::Reply)
        return m_interrupting ? ExchangeOutcome::Interrupted : ExchangeOutcome::LinkFailed;
    switch (report.result) {
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
    case ExchangeResult::BadHeader:
        return ExchangeOutcome::BadHeader;
    }
    const QByteArray reply = report.reply.value_or(QByteArray());
    const QByteArrayView body = replyBody(reply);
    const auto pattern = m_recording.expect.find(report.line);
    if (pattern == m_recording.expect.end())
        return isExceptionReply(body) ? ExchangeOutcome::Exception : ExchangeOutcome::Ok;
    if (matches(pattern->second, body))
        return ExchangeOutcome::Ok;
    const bool exceptionExpected = std::holds_alternative<ExpectedException>(pattern->second);
    return isExceptionReply(body) && !exceptionExpected ? ExchangeOutcome::Exception
                                                        : ExchangeOutcome::Unexpected;
}

void HeadlessRun::record(const ExchangeReport &report)
{
    ExchangeRecord record;
    // An exchange that sent nothing (its connection failed) belongs to the
    // line whose turn it was.
    record.line = m_lastLine = report.line ? report.line : lineInTurn();
    record.request = report.request;
    record.reply = report.reply;
    record.outcome = classify(report);
    record.linkFailure = report.linkFailure;
    record.replyFault = report.replyFault;
    record.n = ++m_recorded;
    record.response = report.response;
    m_stats.record(record.line, record.outcome, record.response);
    if (!m_recording.sinks.empty()) {
        const auto wall = report.sent.value_or(report.begun).time_since_epoch() + m_wallMinusSteady;
        record.time =
            isoLocalTime(std::chrono::duration_cast<std::chrono::microseconds>(wall).count());
        for (RecordSink *sink : m_recording.sinks)
            sink->record(record);
    }
    if (record.outcome != ExchangeOutcome::Ok && record.outcome != ExchangeOutcome::Interrupted) {
        tellFailure(record);
        if (m_outcome == Outcome::AllReplied)
            m_outcome = Outcome::SomeFailed;
    }
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

QByteArrayView HeadlessRun::replyBody(QByteArrayView reply) const
{
    // Unit id and PDU: after an MBAP header's length field, or before a CRC.
    if (m_mbap)
        return reply.sliced(std::min<qsizetype>(mbapLengthEnd, reply.size()));
    return reply.chopped(std::min<qsizetype>(2, reply.size()));
}

void HeadlessRun::tellFailure(const ExchangeRecord &record) const
{
    const auto hex = [](QByteArrayView bytes) { return frameText(bytes, false); };
    const QByteArray reply = record.reply.value_or(QByteArray());
    const QByteArrayView body = replyBody(reply);
    QString why;
    switch (record.outcome) {
    case ExchangeOutcome::WrongCrc:
        why = QStringLiteral("reply %1 ends in %2 where its CRC is %3")
                  .arg(hex(reply), hex(reply.right(2)), crcText(CRC16(reply)));
        break;
    case ExchangeOutcome::TooShort:
        why = QStringLiteral("reply %1 is too short").arg(hex(reply));
        if (!record.replyFault.isEmpty())
            why += QStringLiteral(": ") + record.replyFault;
        break;
    case ExchangeOutcome::Exception: {
        const auto code = quint8(body.size() > 2 ? body[2] : 0);
        const QString name = exceptionName(code);
        why = hex(body.sliced(2, 1)) +
              (name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name));
        break;
    }
    case ExchangeOutcome::Unexpected: {
        const auto pattern = m_recording.expect.find(record.line);
        why =
            QStringLiteral("reply %1 does not match %2")
                .arg(hex(body), pattern == m_recording.expect.end() ? QString()
                                                                    : patternText(pattern->second));
        break;
    }
    case ExchangeOutcome::NoReply:
        why = QStringLiteral("nothing within %1 ms").arg(m_inputs.timeout());
        break;
    case ExchangeOutcome::LinkFailed:
        why = record.linkFailure.isEmpty() ? QStringLiteral("the link could not be used")
                                           : record.linkFailure;
        break;
    case ExchangeOutcome::BadHeader:
        why = record.replyFault;
        break;
    case ExchangeOutcome::Ok:
    case ExchangeOutcome::Interrupted:
        return;
    }
    // An exception is named as Modbus names it: "exception 02 (...)".
    const QString separator =
        record.outcome == ExchangeOutcome::Exception ? QStringLiteral(" ") : QStringLiteral(": ");
    writeUtf8(m_err, QStringLiteral("tallowick-run: line %1: %2%3%4\n")
                         .arg(record.line)
                         .arg(outcomeName(record.outcome), separator, why));
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
        return m_exchanges > 0 ? exit_status::done : exit_status::failureSeen;
    case Outcome::SomeFailed:
        return exit_status::failureSeen;
    case Outcome::Refused:
        return exit_status::refused;
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
    if (m_log)
        m_log->flush();
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
