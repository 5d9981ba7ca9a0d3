// The repeat run of the exchange engine. A pass sends the lines rpStart..rpStop
// one after another, each once the previous exchange has ended. The pass is a
// continuation: it returns to the event loop while an exchange is outstanding
// and goes on when the exchange ends, so a waiting run costs no CPU.
#include "engine/exchange_engine.h"

#include "engine/numeric_value.h"
#include "engine/one_shot_timer.h"
#include "links/link.h"

namespace tallowick {

void ExchangeEngine::refuseRepeat()
{
    tell(QStringLiteral("Repeat count error!"));
    emit logEntry(QStringLiteral("----輸入重複次數----"), 2);
}

void ExchangeEngine::setRepeating(bool repeating)
{
    m_repeating = repeating;
    emit repeatingChanged(repeating);
}

void ExchangeEngine::toggleRepeat()
{
    const RepeatFields fields = m_in.repeatFields();
    if (!repeatCountValid(fields) || (!m_repeating && !repeatStartValid(fields))) {
        refuseRepeat();
        return;
    }
    if (m_repeating) {
        setRepeating(false);
        m_repeatPause.stop();
        // A pass waiting for its exchange ends at its next check.
        return;
    }
    // A link failure seen before the run (the time-out of the last exchange
    // closing the link) is no failure of this run: left standing, it would end
    // the run before its first line, without a word to the user.
    m_linkError = false;
    setRepeating(true);
    m_repeatIndex = numericValue(fields.rpStart) - 1;
    m_repeatLeft = qint16(roundHalfEven(numericValue(fields.rCNT)));
    m_repeatPause.start(std::chrono::milliseconds(1));
}

void ExchangeEngine::stop()
{
    if (m_repeating)
        endRun();
    if (!m_replyDone)
        endWithoutReply();
}

void ExchangeEngine::startPass()
{
    m_nextLineReady = true;
    m_repeatPause.stop();
    // A pass still waiting from before is superseded by this one.
    m_passWaiting = false;
    continuePass();
}

void ExchangeEngine::continuePass()
{
    m_passWaiting = false;
    for (;;) {
        if (!(m_repeatIndex <= numericValue(m_in.repeatFields().rpStop) - 1 && m_repeating &&
              !m_repeatPause.isActive() && !m_linkError)) {
            passEnded();
            return;
        }
        if (!m_replyDone) {
            m_passWaiting = true; // resumed by the end of the exchange
            return;
        }
        if (!m_nextLineReady) {
            // The last Send was not taken by the transmit routine yet: its
            // connection is still being made, and its connection event will
            // send it. Anything else can never go on.
            const int socket = m_tcp.state();
            if (!m_serialMode && (socket == Link::Connecting || socket == Link::ResolvingHost)) {
                m_passWaiting = true;
                return;
            }
            endRun();
            return;
        }
        m_nextLineReady = false;
        if (send() == SendOutcome::Refused) {
            // The Send checks refused the line; no later pass could do better.
            endRun();
            return;
        }
    }
}

void ExchangeEngine::passEnded()
{
    if (m_repeatLeft - 1 >= 1 && !m_linkError) {
        m_repeatLeft -= 1;
        const RepeatFields fields = m_in.repeatFields();
        m_repeatIndex = numericValue(fields.rpStart) - 1;
        m_repeatPause.start(repeatPause(fields));
        return;
    }
    endRun();
}

void ExchangeEngine::endRun()
{
    m_passWaiting = false;
    m_linkError = false;
    setRepeating(false);
    m_repeatPause.stop();
}

} // namespace tallowick
