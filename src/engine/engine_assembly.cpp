#include "engine/engine_assembly.h"

#include "engine/exchange_engine.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "platform/one_shot_timer.h"
#include "platform/precise_timer.h"

#include <QTimer>

namespace tallowick {

namespace {

QTimer *namedTimer(const char *name, QObject *owner)
{
    auto *timer = new QTimer(owner);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}

} // namespace

EngineAssembly assembleEngine(const ExchangeInputs &inputs, QObject *owner)
{
    EngineAssembly parts{};
    parts.serial = new SerialLink(owner);
    parts.tcp = new TcpLink(owner);
    parts.replyTimer = namedTimer("Timer", owner);
    parts.repeatTimer = namedTimer("repTimer", owner);
    // The serial quiet time and the repeat pause end on the microsecond timer:
    // a QTimer counts whole milliseconds, too coarse for t3.5 at high baud
    // rates and for short pauses.
    ExchangeTimers timers;
    timers.replyTimeout = new QTimerWait(parts.replyTimer, owner);
    timers.serialQuiet = new PreciseTimer(owner);
    timers.repeatPause = new FirstOfTwoWait(new QTimerWait(parts.repeatTimer, owner),
                                            new PreciseTimer(owner), owner);
    parts.engine = new ExchangeEngine(inputs, *parts.serial, *parts.tcp, timers, owner);
    return parts;
}

} // namespace tallowick
