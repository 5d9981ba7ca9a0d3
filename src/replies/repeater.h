#pragma once

#include "replies/precise_timer.h"

#include <QObject>
#include <QString>
#include <optional>

namespace tallowick {

struct Context;

// Why a repeat run cannot start with the fields as they are; nothing when it can.
struct RepeatFields
{
    QString rCNT;
    QString rpStart;
    QString rpStop;
    QString repeat;
};
// The count and stop line checks apply to starting and stopping a run alike;
// the others only to starting one.
bool repeatCountValid(const RepeatFields &fields);
bool repeatStartValid(const RepeatFields &fields);

// Repeated sending: Command2 starts and stops a run, repTimer starts each pass.
// A pass sends the lines rpStart..rpStop one after another, each once the
// previous exchange has ended. The pass is a continuation: it returns to the
// event loop while an exchange is outstanding and goes on when the exchange
// ends, so a waiting run costs no CPU.
class Repeater : public QObject
{
    Q_OBJECT
public:
    explicit Repeater(Context &context, QObject *parent = nullptr);

    void Command2_Click();
    void repTimer_Timer();

private:
    // One pass (repeatFunc): runs until it must wait or is over.
    void repeatFunc();
    void passEnded();
    void endRun();
    void refuse();
    void startPause(int ms);
    void stopPause();
    double stopLine() const;
    double startLine() const;

    Context &m_ctx;
    bool m_passWaiting = false; // a pass waits for its exchange to end
    // repTimer wakes up as much as a millisecond late: the event loop waits
    // for it in whole milliseconds. This one ends the pause on time; the
    // first of the two to fire starts the pass.
    PreciseTimer m_pauseEnd;
};

} // namespace tallowick
