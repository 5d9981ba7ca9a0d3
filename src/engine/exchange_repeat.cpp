// The repeat run of the exchange engine. A pass sends the lines rpStart..rpStop
// one after another, each once the previous exchange has ended. The pass is a
// continuation: it returns to the event loop while an exchange is outstanding
// and goes on when the exchange ends, so a waiting run costs no CPU.
#include "engine/exchange_engine.h"

#include "engine/numeric_value.h"
#include "links/link.h"
#include "platform/one_shot_timer.h"

namespace tallowick {

bool ExchangeEngine::isRepeating() const
{
    switch (m_run) {
    case RepeatRun::Pausing:
    case RepeatRun::Sending:
    case RepeatRun::AwaitingExchange:
    case RepeatRun::AwaitingConnection:
    case RepeatRun::PausingBehindStoppedPass:
        return true;
    case RepeatRun::Off:
    case RepeatRun::StoppedMidPass:
    case RepeatRun::RunningOut:
        return false;
    }
    return false;
}

// A waiting pass goes on at the end of an exchange and at a connection made
// or failed, whichever it waits for: each time it looks afresh.
bool ExchangeEngine::passWaits() const
{
    switch (m_run) {
    case RepeatRun::AwaitingExchange:
    case RepeatRun::AwaitingConnection:
    case RepeatRun::StoppedMidPass:
    case RepeatRun::PausingBehindStoppedPass:
        return true;
    case RepeatRun::Off:
    case RepeatRun::Pausing:
    case RepeatRun::Sending:
    case RepeatRun::RunningOut:
        return false;
    }
    return false;
}

void ExchangeEngine::setRun(RepeatRun next)
{
    const bool wasRepeating = isRepeating();
    m_run = next;
    // Every end of a run is announced, also the last of a stopped run's
    // passes running out.
    if (isRepeating() != wasRepeating || next == RepeatRun::Off)
        emit repeatingChanged(isRepeating());
}

void ExchangeEngine::refuseRepeat()
{
    tell(QStringLiteral("Repeat count error!"));
    emit logEntry(QStringLiteral("----輸入重複次數----"), 2);
}

void ExchangeEngine::toggleRepeat()
{
    const RepeatFields fields = m_in.repeatFields();
    if (!repeatCountValid(fields) || (!isRepeating() && !repeatStartValid(fields))) {
        refuseRepeat();
        return;
    }
    if (isRepeating()) {
        // A pass waiting for its exchange ends at its next check.
        setRun(passWaits() ? RepeatRun::StoppedMidPass : RepeatRun::Off);
        m_repeatPause.stop();
        return;
    }
    // A link failure seen before the run (the time-out of the last exchange
    // closing the link) is no failure of this run: left standing, it would end
    // the run before its first line, without a word to the user.
    m_linkFault = LinkFault::None;
    setRun(passWaits() ? RepeatRun::PausingBehindStoppedPass : RepeatRun::Pausing);
    m_nextPassLine = numericValue(fields.rpStart) - 1;
    m_passesLeft = qint16(roundHalfEven(numericValue(fields.rCNT)));
    m_repeatPause.start(std::chrono::milliseconds(1));
}

void ExchangeEngine::stop()
{
    if (isRepeating())
        endRun();
    if (isWaiting())
        endWithoutReply();
}

void ExchangeEngine::startPass()
{
    m_passLine = PassLine::Taken;
    m_repeatPause.stop();
    continuePass();
}

bool ExchangeEngine::passGoesOn() const
{
    // The stop line is read at every check, as it reads now, whatever else
    // ends the pass.
    const bool lineLeft = m_nextPassLine <= numericValue(m_in.repeatFields().rpStop) - 1;
    // A pause still running is that of a run started while this pass waited.
    return lineLeft && isRepeating() && !m_repeatPause.isActive() && !linkFaultEndsRun();
}

bool ExchangeEngine::linkFaultEndsRun() const
{
    return m_linkFault == LinkFault::Found && !m_in.linkChoices().goOnAfterLinkFault;
}

void ExchangeEngine::continuePass()
{
    // A pass still waiting from before is superseded by this one.
    setRun(isRepeating() ? RepeatRun::Sending : RepeatRun::RunningOut);
    for (;;) {
        if (!passGoesOn()) {
            passEnded();
            return;
        }
        if (isWaiting()) {
            setRun(RepeatRun::AwaitingExchange); // resumed by the end of the exchange
            return;
        }
        if (m_passLine == PassLine::Pending) {
            // The last Send was not taken by the transmit routine yet: its
            // connection is still being made, and its connection event will
            // send it. Anything else can never go on.
            const int socket = m_tcp.state();
            if (!serialMode() && (socket == Link::Connecting || socket == Link::ResolvingHost)) {
                setRun(RepeatRun::AwaitingConnection);
                return;
            }
            if (m_linkFault == LinkFault::Found && !linkFaultEndsRun()) {
                // The connection for the line failed: the run goes on with the
                // line after it, connecting again.
                m_nextPassLine += 1;
                m_passLine = PassLine::Taken;
                continue;
            }
            endRun();
            return;
        }
        m_passLine = PassLine::Pending;
        if (send() == SendOutcome::Refused) {
            // The Send checks refused the line; no later pass could do better.
            endRun();
            return;
        }
    }
}

void ExchangeEngine::passEnded()
{
    if (m_passesLeft - 1 >= 1 && !linkFaultEndsRun()) {
        m_passesLeft -= 1;
        const RepeatFields fields = m_in.repeatFields();
        m_nextPassLine = numericValue(fields.rpStart) - 1;
        setRun(isRepeating() ? RepeatRun::Pausing : RepeatRun::RunningOut);
        m_repeatPause.start(repeatPause(fields));
        return;
    }
    endRun();
}

void ExchangeEngine::endRun()
{
    m_linkFault = LinkFault::None;
    setRun(RepeatRun::Off);
    m_repeatPause.stop();
}

} // namespace tallowick
