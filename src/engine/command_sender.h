#pragma once

#include "ui/repaint_hold_back.h"

#include <QObject>
#include <chrono>

namespace tallowick {

struct Context;

// What a Send did with the request.
enum class SendOutcome {
    Started, // the waiting state was entered and the line handed on
    Stopped, // the button read "Stop": the wait was ended as by a time-out
    Refused, // a check failed; nothing was sent and no wait began
};

// The send paths: the Send button, the command line labels, the label lock,
// and the end of an exchange that every path returns to.
class CommandSender : public QObject
{
    Q_OBJECT
public:
    explicit CommandSender(Context &context, QObject *parent = nullptr);

    SendOutcome send_Click();
    void Label7_Click(int index);
    void Label7_DblClick(int index);

    // Sends command line n (1 to 15) after checking the settings.
    SendOutcome sendLabel(int lineNumber);
    // 1 for an empty address, plus 2 for an empty port, plus 4 for an empty time-out.
    int checkNULL() const;

    // Leaves the waiting state: "Send" again, Mode enabled, replyDone set.
    void endExchange();

signals:
    // Emitted by endExchange(), after the window is idle again.
    void exchangeEnded();

private:
    void complainAboutSettings(int mask);
    void refuseLineIndex();
    // Checks what the link about to be used needs, then enters the waiting
    // state and hands the line on.
    SendOutcome startTransmission();
    void refuse(const QString &message, const QString &status, const QString &title = {});
    void sendSerial();
    void sendTcp();

    Context &m_ctx;
    // Send, Mode and the status label change with every exchange.
    RepaintHoldBack m_redraw;
};

} // namespace tallowick
