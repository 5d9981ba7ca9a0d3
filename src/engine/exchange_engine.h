#pragma once

#include "engine/exchange_inputs.h"
#include "engine/user_message.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace tallowick {

class Link;
class OneShotTimer;

// What a Send did with the request.
enum class SendOutcome {
    Started, // the waiting state was entered and the line handed on
    Stopped, // a reply was awaited: the wait was ended as by a time-out
    Refused, // a check failed; nothing was sent and no wait began
};

// How an exchange ended.
enum class ExchangeResult {
    Reply,         // a reply came whose CRC is right
    WrongCrc,      // a reply came whose last two bytes are not its CRC
    ReplyTooShort, // a reply too short to hold a CRC
    NoReply,       // the time-out, or Stop, ended the wait
    LinkFailed,    // the TCP link was found unusable when the wait ended
};

// The waits the engine owns.
struct ExchangeTimers
{
    OneShotTimer *replyTimeout = nullptr; // the device's time to answer
    OneShotTimer *serialQuiet = nullptr;  // the line quiet after a serial reply
    OneShotTimer *repeatPause = nullptr;  // between the passes of a repeat run
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

    bool serialMode() const { return m_serialMode; }
    bool isWaiting() const { return !m_replyDone; }
    bool isRepeating() const { return m_repeating; }
    // A Send asked for a TCP connection that was not closed since.
    bool linkOpen() const { return m_linkOpen; }
    // The TCP link was found unusable; a repeat run ends on it.
    bool linkFailed() const { return m_linkError; }
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
    // Something the user must read and acknowledge; a refusal's message comes
    // before its status and log entries.
    void messageRaised(const QString &text, const QString &title, tallowick::MessageIcon icon);

private:
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
    void endWithoutReply();
    void endExchange(ExchangeResult result);

    // The repeat run.
    void startPass();
    void continuePass();
    void passEnded();
    void endRun();
    void refuseRepeat();
    void setRepeating(bool repeating);

    const ExchangeInputs &m_in;
    Link &m_serial;
    Link &m_tcp;
    OneShotTimer &m_replyTimeout;
    OneShotTimer &m_serialQuiet;
    OneShotTimer &m_repeatPause;

    bool m_serialMode = false;
    bool m_replyDone = true;  // no exchange is outstanding
    bool m_linkOpen = false;  // see linkOpen()
    bool m_linkError = false; // see linkFailed()
    QByteArray m_serialReply; // bytes of the serial reply still arriving

    bool m_repeating = false;
    bool m_nextLineReady = false; // the transmit routine took the previous repeat Send
    bool m_passWaiting = false;   // a pass waits for its exchange to end
    double m_repeatIndex = 0;     // zero-based index of the next line of a pass
    qint16 m_repeatLeft = 0;      // passes left, the running one included
};

} // namespace tallowick
