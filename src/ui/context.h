#pragma once

#include "ui/controls.h"
#include "ui/window_state.h"

#include <QString>

class QWidget;

namespace tallowick {

class SerialLink;
class TcpLink;
class LogPanel;
class Transmitter;
class CommandSender;
class ReplyReceiver;
class ReplyTimeout;
class Repeater;
class ConfigSlots;
class DecoderLauncher;

// What the handlers of the main window share: its controls, its state, the two
// links, the log and the handler objects of each subsystem. The main window
// owns all of it; handler objects reach each other through it.
struct Context
{
    QWidget *window = nullptr;
    QString programFolder;
    Controls ui;
    WindowState state;

    SerialLink *serial = nullptr;
    TcpLink *tcp = nullptr;
    LogPanel *log = nullptr;

    Transmitter *transmitter = nullptr;
    CommandSender *sender = nullptr;
    ReplyReceiver *receiver = nullptr;
    ReplyTimeout *timeout = nullptr;
    Repeater *repeater = nullptr;
    ConfigSlots *config = nullptr;
};

} // namespace tallowick
