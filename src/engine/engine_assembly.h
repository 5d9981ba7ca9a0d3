#pragma once

#include <functional>

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

// tcpFraming, when given, puts a link of its own between the engine and the
// TCP link (a framing the window does not use); it belongs to the owner too.
EngineAssembly assembleEngine(const ExchangeInputs &inputs, QObject *owner,
                              const std::function<Link &(TcpLink &)> &tcpFraming = {});

} // namespace tallowick
