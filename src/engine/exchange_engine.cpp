#include "engine/exchange_engine.h"

#include "engine/command_text.h"
#include "engine/numeric_value.h"
#include "frames/frame_text.h"
#include "frames/framing.h"
#include "frames/quiet_time.h"
#include "frames/reply_check.h"
#include "links/line_timing.h"
#include "links/link.h"
#include "links/serial_settings.h"
#include "platform/one_shot_timer.h"

#include <utility>

namespace tallowick {

namespace {

const QString comPortErrorTitle = QStringLiteral("COM Port Error");
const QString connectingEntry = QStringLiteral("-------正在連線-------");
const QString closingEntry = QStringLiteral("-------關閉連線-------");

// A device that keeps sending never lets the line go quiet. What it sent so
// far is taken as a reply once it reaches this size (far beyond any Modbus
// reply), so the log takes a flood in pieces and the window keeps turning.
constexpr qsizetype serialReplyLimit = 8 * 1024;

// A line number past the last line, or between two lines (0.3, 15.6), names
// no line. Compared with the number after the last, so that 15.5 counts as
// between lines rather than past them.
bool namesNoLine(double lineNumber)
{
    return lineNumber >= commandLineCount + 1 || !isWholeNumber(lineNumber);
}

} // namespace

ExchangeEngine::ExchangeEngine(const ExchangeInputs &inputs, Link &serial, Link &tcp,
                               const ExchangeTimers &timers, QObject *parent)
    : QObject(parent), m_in(inputs), m_serial(serial), m_tcp(tcp),
      m_replyTimeout(*timers.replyTimeout), m_serialQuiet(*timers.serialQuiet),
      m_repeatPause(*timers.repeatPause), m_now(timers.now)
{
    for (Link *link : {&m_serial, &m_tcp}) {
        connect(link, &Link::failed, this, &ExchangeEngine::noteLinkFailure);
    }
    connect(&m_serial, &Link::dataArrived, this, &ExchangeEngine::takeSerialBytes);
    connect(&m_serial, &Link::failed, this, &ExchangeEngine::dropSerialReply);
    connect(&m_tcp, &Link::dataArrived, this, &ExchangeEngine::takeTcpReply);
    connect(&m_tcp, &Link::connected, this, &ExchangeEngine::onTcpConnected);
    // A pass waiting for a connection that fails instead must learn of it, or
    // the run would show "Stop Send" with nothing left that could end it.
    connect(&m_tcp, &Link::failed, this, [this] {
        if (passWaits())
            continuePass();
    });
    connect(&m_serialQuiet, &OneShotTimer::timeout, this, &ExchangeEngine::serialReplyEnded);
    connect(&m_replyTimeout, &OneShotTimer::timeout, this, &ExchangeEngine::endWithoutReply);
    connect(&m_repeatPause, &OneShotTimer::timeout, this, &ExchangeEngine::startPass);
}

// ---- Sending ---------------------------------------------------------------

int ExchangeEngine::emptySettingsMask() const
{
    return checkNullMask(m_in.address(), m_in.port(), m_in.timeout());
}

void ExchangeEngine::setExchange(Exchange next)
{
    const bool wasWaiting = isWaiting();
    m_exchange = next;
    // Every end is announced, also that of a reply which came after its
    // exchange had ended.
    if (next == Exchange::Idle) {
        emit waitingChanged(false);
    } else if (isWaiting() && !wasWaiting) {
        m_report.emplace();
        m_report->begun = m_now();
        m_lastArrival.reset();
        emit waitingChanged(true);
    }
}

void ExchangeEngine::awaitConnection()
{
    // Only an exchange still waiting can wait for its connection.
    if (m_exchange == Exchange::AwaitingReply)
        setExchange(Exchange::Connecting);
}

SendOutcome ExchangeEngine::send()
{
    if (isWaiting()) {
        endWithoutReply();
        return SendOutcome::Stopped;
    }
    const int mask = emptySettingsMask();
    const double line = numericValue(m_in.lineNumber());
    if (mask != 0 || !(line > 0)) {
        complainAboutSettings(mask);
        return SendOutcome::Refused;
    }
    if (namesNoLine(line)) {
        refuseLineNumber();
        return SendOutcome::Refused;
    }
    return startExchange();
}

void ExchangeEngine::sendLineOf(int index)
{
    if (isWaiting())
        return;
    const QString number = QString::number(index + 1);
    emit lineNumberChosen(number);
    sendLine(index + 1);
    emit statusChanged(QStringLiteral("Send command") + number);
}

SendOutcome ExchangeEngine::sendLine(int lineNumber)
{
    const int mask = emptySettingsMask();
    if (lineNumber == 0 || mask != 0) {
        complainAboutSettings(mask);
        return SendOutcome::Refused;
    }
    if (namesNoLine(double(lineNumber))) {
        refuseLineNumber();
        return SendOutcome::Refused;
    }
    return startExchange();
}

void ExchangeEngine::showCrc()
{
    transmitLine(true);
}

void ExchangeEngine::toggleMode()
{
    m_mode = serialMode() ? LinkMode::Tcp : LinkMode::Serial;
}

void ExchangeEngine::tell(const QString &text, const QString &title)
{
    emit messageRaised({text, title.isEmpty() ? programTitle : title, MessageIcon::Critical});
}

void ExchangeEngine::refuse(const QString &message, const QString &status, const QString &title)
{
    tell(message, title);
    emit statusChanged(status);
}

void ExchangeEngine::complainAboutSettings(int mask)
{
    const SettingsComplaint complaint = settingsComplaint(mask);
    refuse(complaint.message, complaint.status);
}

void ExchangeEngine::refuseLineNumber()
{
    tell(QStringLiteral("Error Command Line Index."));
    logNoSuchLine(m_in.lineNumber());
}

SendOutcome ExchangeEngine::startExchange()
{
    // Values the link cannot use are refused here, before the window starts
    // waiting for a reply that could never come.
    const auto interval = replyTimerInterval(m_in.timeout());
    if (!interval) {
        refuse(QStringLiteral("Timeout is too large: at most 2147483647 ms."),
               QStringLiteral("Check Timeout setting."));
        return SendOutcome::Refused;
    }
    if (serialMode()) {
        if (!m_serial.isOpen() && !serialDevicePath(m_in.linkChoices().comSelect)) {
            refuse(QStringLiteral("Error port setting"), QStringLiteral("Check COM Port setting."),
                   comPortErrorTitle);
            return SendOutcome::Refused;
        }
    } else if (!tcpPort(m_in.port())) {
        refuse(QStringLiteral("Port must be a whole number from 1 to 65535."),
               QStringLiteral("Check Port setting."));
        return SendOutcome::Refused;
    }

    setExchange(Exchange::AwaitingReply);
    m_replyTimeout.start(*interval);

    if (serialMode())
        sendSerial();
    else
        sendTcp();
    return SendOutcome::Started;
}

void ExchangeEngine::sendSerial()
{
    // Any failure leaves the window waiting; the time-out then reports the
    // missing reply.
    if (!m_serial.isOpen()) {
        const LinkChoices link = m_in.linkChoices();
        const LinkError error = m_serial.open(LinkTarget::serial(link.comSelect, link.configCom));
        if (error != LinkError::None)
            noteLinkFailure(m_serial.lastError());
        switch (error) {
        case LinkError::None:
            break;
        case LinkError::InvalidPort:
            tell(QStringLiteral("Error port setting"), comPortErrorTitle);
            return;
        case LinkError::InvalidSettings:
            tell(QStringLiteral("Error configure setting"), comPortErrorTitle);
            return;
        case LinkError::Other:
            return;
        }
    }
    // The port stays open after the transmission; only a reply closes it.
    transmitLine(false);
}

void ExchangeEngine::sendTcp()
{
    const int socketState = m_tcp.state();
    if (m_tcpSession == TcpSession::None && socketState != Link::Connecting) {
        // Nothing goes out yet: the connection event transmits the line that
        // the line number names when the connection is made.
        const QString address = m_in.address();
        const QString port = m_in.port();
        m_tcp.open(LinkTarget::tcp(address, *tcpPort(port)));
        emit logEntry(QStringLiteral("IP:") + address + u':' + port, 2);
        emit logEntry(connectingEntry, 2);
        emit statusChanged(QStringLiteral("Connecting..."));
        m_tcpSession = TcpSession::Requested;
        awaitConnection();
    } else if (socketState == Link::Connected || socketState == Link::Connecting) {
        transmitLine(false);
        m_linkFault = LinkFault::None;
    } else {
        emit logEntry(QStringLiteral("-------") + QString::number(socketState) + u':' +
                          Link::stateName(socketState) + QStringLiteral("-------"),
                      2);
        m_linkFault = LinkFault::Found;
    }
}

// ---- The transmit routine --------------------------------------------------

void ExchangeEngine::logNoSuchLine(const QString &lineText)
{
    emit logEntry(QStringLiteral("-----沒有指令 ") + lineText + QStringLiteral("-----"), 2);
}

void ExchangeEngine::refuseLine(const QString &lineText)
{
    tell(QStringLiteral("Command Input Error"));
    logNoSuchLine(lineText);
    emit logLineBreak();
}

int ExchangeEngine::chooseLine()
{
    double index = 0;
    QString lineText;
    if (isRepeating()) {
        const RepeatFields fields = m_in.repeatFields();
        if (m_nextPassLine > numericValue(fields.rpStop) - 1)
            m_nextPassLine = numericValue(fields.rpStart) - 1;
        m_passLine = PassLine::Taken;
        index = roundHalfEven(m_nextPassLine);
        lineText = QString::number(m_nextPassLine + 1);
        m_nextPassLine += 1;
    } else {
        const QString text = m_in.lineNumber();
        const double value = numericValue(text);
        if (text.isEmpty() || namesNoLine(value)) {
            refuseLine(text);
            return -1;
        }
        index = value - 1;
        lineText = text;
    }
    if (!(index >= 0 && index < commandLineCount)) {
        refuseLine(lineText);
        return -1;
    }
    return int(index);
}

void ExchangeEngine::transmitLine(bool crcOnly)
{
    const int line = chooseLine();
    if (line < 0)
        return;

    const auto frame = commandFrame(m_in.commandText(line), m_in.linkChoices().appendCrc);
    if (!frame) {
        // The user learns why nothing was sent or logged.
        emit statusChanged(QStringLiteral("輸入錯誤"));
        return;
    }

    const QString caption = m_in.lineCaption(line);
    if (crcOnly) {
        emit logEntry(QStringLiteral("CRC計算 ") + caption + QStringLiteral("> ") + frame->text, 2);
        return;
    }

    emit logEntry(QStringLiteral("傳送") + caption + QStringLiteral(" > ") + frame->text, 2);
    if (!serialMode() && m_tcp.state() == Link::Connecting) {
        emit logEntry(connectingEntry, 2);
        awaitConnection();
        return;
    }
    // A link that refuses the frame leaves the exchange to its time-out.
    Link &link = serialMode() ? m_serial : m_tcp;
    const QByteArray bytes =
        !serialMode() && m_tcpFraming ? m_tcpFraming->request(frame->bytes) : frame->bytes;
    if (bytes.isEmpty() || !link.write(bytes))
        return;
    if (m_report && isWaiting()) {
        m_report->line = line + 1;
        m_report->request = bytes;
        // A link that tells when the request left is asked at the end.
        if (!link.tellsDeparture())
            m_report->sent = m_now();
    }
}

void ExchangeEngine::onTcpConnected()
{
    if (m_exchange == Exchange::Connecting)
        setExchange(Exchange::AwaitingReply);
    // A connection that comes up while the serial link is chosen (one started
    // by an earlier time-out) must not put a frame nobody asked for on the
    // serial line.
    if (!serialMode())
        transmitLine(false);
    // A repeat pass may wait for this connection to take its line.
    if (passWaits())
        continuePass();
}

// ---- Replies ---------------------------------------------------------------

void ExchangeEngine::takeSerialBytes()
{
    if (!m_serial.isOpen())
        return;
    const QByteArray bytes = m_serial.readAll();
    if (!bytes.isEmpty())
        m_lastArrival = m_now();
    m_serialReply += bytes;
    if (m_serialReply.isEmpty())
        return;
    if (m_serialReply.size() >= serialReplyLimit) {
        m_serialQuiet.stop();
        serialReplyEnded();
        return;
    }
    // Every arrival restarts the wait: a reply is what came until the line
    // went quiet. The reply time-out keeps running meanwhile, so one that
    // falls inside this wait is logged before the reply.
    const auto settings = m_serial.lineSettings();
    m_serialQuiet.start(replyQuietTime(
        m_serialReply, settings ? std::optional(lineTiming(*settings).frameEnd()) : std::nullopt));
}

void ExchangeEngine::serialReplyEnded()
{
    const QByteArray reply = std::exchange(m_serialReply, {});
    if (!m_serial.isOpen() || reply.isEmpty())
        return;
    handleReply(reply, true);
}

void ExchangeEngine::dropSerialReply()
{
    // The port is gone and already closed; a part reply from it is no reply.
    // The exchange ends by its time-out, and the next Send opens the port again.
    m_serialQuiet.stop();
    m_serialReply.clear();
}

void ExchangeEngine::takeTcpReply()
{
    const QByteArray bytes = m_tcp.readAll();
    if (bytes.isEmpty())
        return;
    m_lastArrival = m_now();
    if (!m_tcpFraming) {
        // Each arrival on the socket is one reply.
        handleReply(bytes, false);
        return;
    }
    const std::optional<FramedReply> framed = m_tcpFraming->take(bytes);
    if (!framed)
        return;
    if (m_report)
        m_report->replyFault = framed->reason;
    // The log shows the frame the header carried, without a CRC it never had.
    const QByteArray shown = framed->frame.isEmpty() ? framed->bytes : framed->frame;
    static constexpr ExchangeResult results[] = {
        ExchangeResult::Reply, ExchangeResult::ReplyTooShort, ExchangeResult::BadHeader};
    endWithReply(framed->bytes, QStringLiteral("接收 < ") + frameText(shown, false),
                 results[framed->verdict], false);
}

void ExchangeEngine::handleReply(const QByteArray &reply, bool fromSerial)
{
    // A reply too short to check is reported, and the exchange still ends as
    // after any other reply: a stray byte must not leave the window waiting
    // with its Send button reading "Stop".
    bool crcCorrect = false;
    const auto entry = replyEntryText(reply, &crcCorrect);
    endWithReply(reply, entry ? *entry : failureEntryText(replyTooShort),
                 !entry       ? ExchangeResult::ReplyTooShort
                 : crcCorrect ? ExchangeResult::Reply
                              : ExchangeResult::WrongCrc,
                 fromSerial);
}

void ExchangeEngine::endWithReply(const QByteArray &reply, const QString &entry,
                                  ExchangeResult result, bool fromSerial)
{
    m_replyTimeout.stop();
    setExchange(Exchange::EndingWithReply);
    if (m_report)
        m_report->reply = reply;
    emit logEntry(entry, 1);

    if (m_in.linkChoices().dropLinkAfterExchange) {
        if (fromSerial)
            m_serial.close();
        m_tcp.close();
        emit statusChanged(QStringLiteral("Disconnected."));
        emit logEntry(closingEntry, 2);
        m_tcpSession = TcpSession::None;
    }
    endExchange(result);
}

void ExchangeEngine::endWithoutReply()
{
    // Try the TCP peer again when no connection is under way. Not in serial
    // mode, where it would reach a host the user is not using, and never over
    // a live connection.
    const int before = m_tcp.state();
    if (!serialMode() && m_tcpSession == TcpSession::None && before != Link::Connecting &&
        before != Link::Connected) {
        if (const auto port = tcpPort(m_in.port()))
            m_tcp.open(LinkTarget::tcp(m_in.address(), *port));
    }

    m_replyTimeout.stop();

    const int after = m_tcp.state();
    ExchangeResult result =
        after == Link::Error ? ExchangeResult::LinkFailed : ExchangeResult::NoReply;
    // Part of a framed reply came, and no more will: it was cut short.
    if (m_tcpFraming && !serialMode()) {
        if (const std::optional<FramedReply> cut = m_tcpFraming->end(); cut && m_report) {
            m_report->reply = cut->bytes;
            m_report->replyFault = cut->reason;
            result = ExchangeResult::ReplyTooShort;
            // A reply that never ended has no response time.
            m_lastArrival.reset();
        }
    }
    if (after == Link::Error) {
        emit logEntry(QStringLiteral("------9:連線錯誤------"), 2);
        m_linkFault = LinkFault::Found;
    } else {
        m_linkFault = LinkFault::None;
        emit logEntry(QStringLiteral("--------無回應--------"), 2);
    }

    if (m_in.linkChoices().dropLinkAfterExchange) {
        m_tcp.close();
        emit statusChanged(QStringLiteral("No Connected."));
        emit logEntry(closingEntry, 2);
        if (m_tcp.state() != Link::Connected)
            m_linkFault = LinkFault::Found;
        m_tcpSession = TcpSession::None;
    } else if (m_tcpSession == TcpSession::Requested &&
               (after == Link::Closed || after == Link::Error || after == Link::Connecting)) {
        // The peer closed or reset the connection we keep, or the connection
        // has not come about within the time-out (a peer that resets every
        // connection it accepts keeps the socket connecting again and again
        // for half a minute). Forget it, so that the next Send connects
        // afresh instead of reporting the dead socket or waiting behind the
        // old attempt for as long as the connection is to be kept.
        m_tcp.close();
        m_tcpSession = TcpSession::None;
    }

    endExchange(result);
}

void ExchangeEngine::endWait()
{
    if (isWaiting())
        endWithoutReply();
}

void ExchangeEngine::forgetClosedLink()
{
    const int state = m_tcp.state();
    if (m_tcpSession == TcpSession::Requested && !isWaiting() &&
        (state == Link::Closed || state == Link::Error)) {
        m_tcp.close();
        m_tcpSession = TcpSession::None;
    }
}

void ExchangeEngine::endExchange(ExchangeResult result)
{
    // Taken before the pass goes on, which may begin the next exchange.
    std::optional<ExchangeReport> report = std::exchange(m_report, std::nullopt);
    const std::optional<ExchangeReport::Moment> lastArrival = m_lastArrival;
    // Asked before the next request can go out on the link: until then the
    // exchange's request is the link's latest write.
    if (report && !report->request.isEmpty() && !report->sent)
        report->sent = (serialMode() ? m_serial : m_tcp).lastDeparture();
    setExchange(Exchange::Idle);
    // A repeat pass waiting for this exchange goes on before anyone else
    // hears of the end.
    if (passWaits())
        continuePass();
    if (report) {
        report->result = result;
        // A request that left after the reply was in (a device that answers
        // before the request is over) gives no moment to count from.
        if (report->reply && report->sent && lastArrival && *lastArrival >= *report->sent)
            report->response =
                std::chrono::duration_cast<std::chrono::microseconds>(*lastArrival - *report->sent);
        emit exchangeReported(*report);
    }
    emit exchangeEnded(result);
}

void ExchangeEngine::noteLinkFailure(const QString &reason)
{
    if (m_report && isWaiting() && m_report->linkFailure.isEmpty())
        m_report->linkFailure = reason;
}

} // namespace tallowick

#include "moc_exchange_engine.cpp"
