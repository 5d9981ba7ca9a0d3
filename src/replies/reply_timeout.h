#pragma once

#include <QObject>

namespace tallowick {

struct Context;

// The reply time-out (Timer), the socket state label (winsockchk) and the Mode
// button.
class ReplyTimeout : public QObject
{
    Q_OBJECT
public:
    explicit ReplyTimeout(Context &context, QObject *parent = nullptr);

    void Timer_Timer();      // the time-out tick; Stop runs it too
    void winsockchk_Timer(); // the state label tick
    void modeSelect_Click();

private:
    Context &m_ctx;
};

} // namespace tallowick
