#pragma once

#include "engine/exchange_engine.h"
#include "support/scripted_dialogs.h"
#include "support/time_stamp.h"
#include "ui/log_panel.h"
#include "ui/main_window.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace tallowick::test {

// A main window started in a fresh temporary program folder, its dialogs
// scripted. Tests that send or let a time-out fire point the TCP peer at
// loopback first.
struct WindowFixture
{
    ScriptedDialogs dialogs; // answers start-up's boxes too
    QTemporaryDir folder;
    std::unique_ptr<MainWindow> window;

    // With `config1`, the folder holds that config1.ini before start-up.
    explicit WindowFixture(bool show = false, const QByteArray &config1 = {});
    Controls &ui() { return window->controls(); }
    ExchangeEngine &engine() { return window->engine(); }
    QString logText() { return window->log().text(); }

    void click(QWidget *widget);
    // Plays steps separated by "; " on the window: "click NAME", or "NAME=VALUE"
    // typed into a box (for a check box or option button, 1 checks it).
    void play(const QString &script);
    // "保持連線" (true) or "間斷連線".
    void keepLink(bool keep);
    void useTcp(quint16 port);
    void useSerial(const QString &path, const QString &lineSettings);
    void setRepeat(int first, int last, int passes, int pauseMs);

    // No exchange, no run, no timer: Send, Mode and Repeat Send as at start-up.
    bool isIdle();
    // Runs the event loop itself (no polling with sleeps in between), so that
    // the program sees the link's events as soon as they come, as it would on
    // its own, until `done` holds: checked after every end of an exchange, and
    // every 20 ms for ends that are not one. False when `ms` passed first.
    bool waitUntil(const std::function<bool()> &done, int ms);
    bool waitIdle(int ms = 3000);
    bool waitRunEnded(int ms);
};

// The log's entries, newest first, with their time stamps cut off; empty lines
// are kept as empty strings.
QStringList logLines(const QString &logText);

} // namespace tallowick::test
