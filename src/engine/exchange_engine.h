#pragma once

#include "engine/exchange_inputs.h"
#include "engine/exchange_report.h"
#include "engine/user_message.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace tallowick {

class Framing;
class Link;
class OneShotTimer;

// What a Send did with the request.
enum class SendOutcome {
    Started, // the waiting state was entered and the line handed on
    Stopped, // a reply was awaited: the wait was ended as by a time-out
    Refused, // a check failed; nothing was sent and no wait began
};

// The waits the engine owns, and the clock they run on, which stamps the
// moments of an exchange's report.
struct ExchangeTimers
{
    OneShotTimer *replyTimeout = nullptr; // the device's time to answer
    OneShotTimer *serialQuiet = nullptr;  // the line quiet after a serial reply
    OneShotTimer *repeatPause = nullptr;  // between the passes of a repeat run
    std::function<ExchangeReport::Moment()> now = &std::chrono::steady_clock::now;
};

// One exchange after another with the device: a Send builds the frame of a
// command line, hands it to the serial or TCP link and waits for the reply or
// its time-out; the reply is checked and logged, the link dropped or kept. A
// repeat run sends a range of lines pass after pass, each line once the
// previous exchange has ended.
//
// The engine reads the settings through its inputs when it needs them, and
// tells what happened through its signals, the messages for the user among
// them: whoever shows them connects directly, so that a message is shown
// before the status and log entries that follow it.
class ExchangeEngine : public QObject
{
    Q_OBJECT
public:
    ExchangeEngine(const ExchangeInputs &inputs, Link &serial, Link &tcp,
                   const ExchangeTimers &timers, QObject *parent = nullptr);

    // The Send button: sends the line the line number names, or, while a reply
    // is awaited, stops waiting as its time-out would.
    SendOutcome send();
    // A command line's label (zero-based): makes it the line number and sends it.
    void sendLineOf(int index);
    // "CRC Calculate": logs the frame of the line the line number names.
    void showCrc();
    // The Mode button.
    void toggleMode();
    // The repeat button: starts a run, or ends the running one.
    void toggleRepeat();
    // Ends everything under way as the user's Stop buttons would: the repeat
    // run, and the awaited reply as its time-out would.
    void stop();
    // For a caller that learns of a failed link sooner than the engine would
    // (the runner, told by the link itself): ends the awaited reply now, as
    // its time-out would; and forgets a kept connection the peer has closed,
    // so that the next Send connects again instead of finding it closed.
    void endWait();
    void forgetClosedLink();
    // A framing other than RTU for the TCP link (Modbus TCP for the runner's
    // --mbap): it frames each request and cuts and judges the reply. The
    // window has none. It stays the caller's.
    void setTcpFraming(Framing *framing) { m_tcpFraming = framing; }

    bool serialMode() const { return m_mode == LinkMode::Serial; }
    bool isWaiting() const
    {
        return m_exchange == Exchange::Connecting || m_exchange == Exchange::AwaitingReply;
    }
    bool isRepeating() const;
    // A Send asked for a TCP connection that was not closed since.
    bool linkOpen() const { return m_tcpSession == TcpSession::Requested; }
    // The TCP link was found unusable; a repeat run ends on it.
    bool linkFailed() const { return m_linkFault == LinkFault::Found; }
    Link &serialLink() { return m_serial; }
    Link &tcpLink() { return m_tcp; }

signals:
    void logEntry(const QString &text, int lineBreaks);
    // An extra line break at the end of the log.
    void logLineBreak();
    void statusChanged(const QString &caption);
    // A label click chose this line number (it is read from the inputs next).
    void lineNumberChosen(const QString &number);
    // While waiting, Send reads "Stop" and Mode is disabled.
    void waitingChanged(bool waiting);
    void repeatingChanged(bool repeating);
    // The window is idle again after an exchange.
    void exchangeEnded(tallowick::ExchangeResult result);
    // The whole of an exchange that began with a wait, told just before its
    // end (a reply that comes after its exchange ended reports none).
    void exchangeReported(const tallowick::ExchangeReport &report);
    // Something the user must read and acknowledge; a refusal's message comes
    // before its status and log entries.
    void messageRaised(const tallowick::UserMessage &message);

private:
    enum class LinkMode { Tcp, Serial };

    // A reply ends the exchange in two steps: the wait is over as soon as the
    // reply is in, the end is announced once it is logged and the link dropped.
    enum class Exchange {
        Idle,
        Connecting,      // the line waits for the TCP connection to be made
        AwaitingReply,   // the line went out, or could not; the time-out ends the wait
        EndingWithReply, // the reply is in and being logged
    };

    // Stop Send ends a run at once for the user, but a pass that waits at
    // that moment learns of it only from the next event that would have
    // resumed it; the passes left then run out in pauses that send nothing.
    enum class RepeatRun {
        Off,
        Pausing,                  // before the next pass
        Sending,                  // a pass sends its lines one after another
        AwaitingExchange,         // the pass waits for the exchange of its last line to end
        AwaitingConnection,       // the pass's last line waits for its connection to be made
        StoppedMidPass,           // Stop Send came while the pass waited
        RunningOut,               // the passes left of a stopped run go by, sending nothing
        PausingBehindStoppedPass, // a new run's pause, the stopped run's pass still waiting
    };

    // Whether the transmit routine took the line a pass last sent: a TCP Send
    // whose connection is still being made leaves that to the connection event.
    enum class PassLine { Taken, Pending };

    // A connection asked for by a Send and not closed since (linkOpen()).
    enum class TcpSession { None, Requested };
    // A failure found on the TCP link outlives the connection it was found on,
    // until the link is found usable again or a run starts or ends (linkFailed()).
    enum class LinkFault { None, Found };

    // The exchange and the run change state only here, which tells the window
    // (waitingChanged, repeatingChanged) when it sees a difference.
    void setExchange(Exchange next);
    void setRun(RepeatRun next);
    void awaitConnection();
    bool passWaits() const;
    bool passGoesOn() const;
    bool linkFaultEndsRun() const;

    SendOutcome sendLine(int lineNumber);
    void tell(const QString &text, const QString &title = {});
    void refuse(const QString &message, const QString &status, const QString &title = {});
    void complainAboutSettings(int mask);
    void refuseLineNumber();
    int emptySettingsMask() const;
    SendOutcome startExchange();
    void sendSerial();
    void sendTcp();

    // The transmit routine: chooses the line, builds the frame, logs it and
    // hands it to the link.
    void transmitLine(bool crcOnly);
    int chooseLine();
    void refuseLine(const QString &lineText);
    void logNoSuchLine(const QString &lineText);
    void onTcpConnected();

    void takeSerialBytes();
    void serialReplyEnded();
    void dropSerialReply();
    void takeTcpReply();
    void handleReply(const QByteArray &reply, bool fromSerial);
    void endWithReply(const QByteArray &reply, const QString &entry, ExchangeResult result,
                      bool fromSerial);
    void endWithoutReply();
    void endExchange(ExchangeResult result);
    void noteLinkFailure(const QString &reason);

    // The repeat run.
    void startPass();
    void continuePass();
    void passEnded();
    void endRun();
    void refuseRepeat();

    const ExchangeInputs &m_in;
    Link &m_serial;
    Link &m_tcp;
    Framing *m_tcpFraming = nullptr;
    OneShotTimer &m_replyTimeout;
    OneShotTimer &m_serialQuiet;
    OneShotTimer &m_repeatPause;

    LinkMode m_mode = LinkMode::Tcp;
    Exchange m_exchange = Exchange::Idle;
    TcpSession m_tcpSession = TcpSession::None;
    LinkFault m_linkFault = LinkFault::None;
    QByteArray m_serialReply; // bytes of the serial reply still arriving

    // The report of the exchange under way, from the start of its wait.
    std::optional<ExchangeReport> m_report;
    std::function<ExchangeReport::Moment()> m_now;
    std::optional<ExchangeReport::Moment> m_lastArrival;

    RepeatRun m_run = RepeatRun::Off;
    PassLine m_passLine = PassLine::Pending;
    // Zero-based, from the typed fields as they are: it may be fractional or
    // far beyond the last line, and is rounded only to pick the line.
    double m_nextPassLine = 0;
    qint16 m_passesLeft = 0; // the running pass included
};

} // namespace tallowick
