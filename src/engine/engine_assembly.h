#pragma once

class QObject;
class QTimer;

namespace tallowick {

class ExchangeEngine;
class ExchangeInputs;
class Link;
class SerialLink;
class TcpLink;

// An exchange engine on the links and waits every program runs it on. All of
// it belongs to the owner.
struct EngineAssembly
{
    ExchangeEngine *engine;
    SerialLink *serial;
    TcpLink *tcp;
    // The QTimers behind the reply time-out and the repeat pause, named
    // "Timer" and "repTimer", so that whoever looks at the program sees which
    // wait is running.
    QTimer *replyTimer;
    QTimer *repeatTimer;
};

// A framing other than RTU is the engine's to be given (setTcpFraming()).
EngineAssembly assembleEngine(const ExchangeInputs &inputs, QObject *owner);

} // namespace tallowick
