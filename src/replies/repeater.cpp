#include "replies/repeater.h"

#include "engine/command_sender.h"
#include "engine/numeric_value.h"
#include "links/tcp_link.h"
#include "replies/log_panel.h"
#include "ui/context.h"
#include "ui/dialogs.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <limits>

namespace tallowick {

namespace {
constexpr double maxPasses = std::numeric_limits<qint16>::max();
constexpr double maxPauseMs = std::numeric_limits<int>::max();
} // namespace

bool repeatCountValid(const RepeatFields &fields)
{
    return numericValue(fields.rCNT) > 0 && numericValue(fields.rpStop) < 16;
}

bool repeatStartValid(const RepeatFields &fields)
{
    if (!repeatCountValid(fields))
        return false;
    // The pass counter holds 32767 passes; a timer holds no pause of 0 ms or
    // less, nor one of more than 2^31 - 1 ms.
    const double passes = roundHalfEven(numericValue(fields.rCNT));
    const double pause = roundHalfEven(numericValue(fields.repeat));
    const double start = numericValue(fields.rpStart);
    const double stop = numericValue(fields.rpStop);
    if (passes > maxPasses || !(pause >= 1 && pause <= maxPauseMs))
        return false;
    // The range must be able to name one of the fifteen lines. A start above
    // the stop is allowed: its passes send nothing.
    return roundHalfEven(start - 1) >= 0 && roundHalfEven(start - 1) <= 14 &&
           roundHalfEven(stop - 1) >= 0;
}

Repeater::Repeater(Context &context, QObject *parent) : QObject(parent), m_ctx(context)
{
    connect(m_ctx.ui.Command2, &QPushButton::clicked, this, &Repeater::Command2_Click);
    connect(m_ctx.ui.repTimer, &QTimer::timeout, this, &Repeater::repTimer_Timer);
    connect(&m_pauseEnd, &PreciseTimer::timeout, this, &Repeater::repTimer_Timer);
    // The events that can let a waiting pass go on: an exchange ended, or a
    // connection came up and its connection event took the line.
    connect(m_ctx.sender, &CommandSender::exchangeEnded, this, [this] {
        if (m_passWaiting)
            repeatFunc();
    });
    connect(m_ctx.tcp, &TcpLink::connected, this, [this] {
        if (m_passWaiting)
            repeatFunc();
    });
}

double Repeater::stopLine() const
{
    return numericValue(m_ctx.ui.rpStop->text());
}

double Repeater::startLine() const
{
    return numericValue(m_ctx.ui.rpStart->text());
}

void Repeater::refuse()
{
    dialogs::message(m_ctx.window, QStringLiteral("Repeat count error!"), MbCritical);
    m_ctx.log->addEntry(QStringLiteral("----輸入重複次數----"), 2);
}

void Repeater::Command2_Click()
{
    const Controls &ui = m_ctx.ui;
    const RepeatFields fields{ui.rCNT->text(), ui.rpStart->text(), ui.rpStop->text(),
                              ui.repeat->text()};
    WindowState &state = m_ctx.state;
    if (!repeatCountValid(fields) || (!state.repeating && !repeatStartValid(fields))) {
        refuse();
        return;
    }
    if (state.repeating) {
        state.repeating = false;
        ui.Command2->setText(QStringLiteral("Repeat Send"));
        stopPause();
        // A pass waiting for its exchange ends at its next check.
        return;
    }
    state.repeating = true;
    // A link failure seen before the run (the time-out of the last exchange
    // closing the link) is no failure of this run: left standing, it would end
    // the run before its first line, without a word to the user.
    state.linkError = false;
    ui.Command2->setText(QStringLiteral("Stop Send"));
    state.repeatIndex = startLine() - 1;
    state.repeatLeft = qint16(roundHalfEven(numericValue(ui.rCNT->text())));
    startPause(1);
}

void Repeater::startPause(int ms)
{
    m_ctx.ui.repTimer->setInterval(ms);
    m_ctx.ui.repTimer->start();
    m_pauseEnd.start(std::chrono::milliseconds(ms));
}

void Repeater::stopPause()
{
    m_ctx.ui.repTimer->stop();
    m_pauseEnd.stop();
}

void Repeater::repTimer_Timer()
{
    m_ctx.state.nextLineReady = true;
    stopPause();
    // A pass still waiting from before is superseded by this one.
    m_passWaiting = false;
    repeatFunc();
}

void Repeater::repeatFunc()
{
    WindowState &state = m_ctx.state;
    m_passWaiting = false;
    for (;;) {
        if (!(state.repeatIndex <= stopLine() - 1 && state.repeating &&
              !m_ctx.ui.repTimer->isActive() && !state.linkError)) {
            passEnded();
            return;
        }
        if (!state.replyDone) {
            m_passWaiting = true; // resumed by the end of the exchange
            return;
        }
        if (!state.nextLineReady) {
            // The last Send was not taken by the transmit routine yet: its
            // connection is still being made, and its connection event will
            // send it. Anything else can never go on.
            const int socket = m_ctx.tcp->state();
            if (!state.serialMode &&
                (socket == TcpLink::Connecting || socket == TcpLink::ResolvingHost)) {
                m_passWaiting = true;
                return;
            }
            endRun();
            return;
        }
        state.nextLineReady = false;
        if (m_ctx.sender->send_Click() == SendOutcome::Refused) {
            // The Send checks refused the line; no later pass could do better.
            endRun();
            return;
        }
    }
}

void Repeater::passEnded()
{
    WindowState &state = m_ctx.state;
    if (state.repeatLeft - 1 >= 1 && !state.linkError) {
        state.repeatLeft -= 1;
        state.repeatIndex = startLine() - 1;
        startPause(int(roundHalfEven(numericValue(m_ctx.ui.repeat->text()))));
        return;
    }
    endRun();
}

void Repeater::endRun()
{
    m_passWaiting = false;
    m_ctx.state.linkError = false;
    m_ctx.state.repeating = false;
    m_ctx.ui.Command2->setText(QStringLiteral("Repeat Send"));
    stopPause();
}

} // namespace tallowick
