#pragma once

#include "engine/exchange_engine.h"
#include "support/scripted_dialogs.h"
#include "ui/log_panel.h"
#include "ui/main_window.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace tallowick::test {

// A main window started in a fresh temporary program folder. Tests that send
// or let a time-out fire point the TCP peer at loopback first.
struct WindowFixture
{
    ScriptedDialogs dialogs; // answers start-up's boxes too
    QTemporaryDir folder;
    std::unique_ptr<MainWindow> window;

    explicit WindowFixture(bool show = false);
    Controls &ui() { return window->controls(); }
    ExchangeEngine &engine() { return window->engine(); }
    QString logText() { return window->log().text(); }
};

// The log's entries, newest first, with their time stamps cut off; empty lines
// are kept as empty strings.
QStringList logLines(const QString &logText);

// "HH:mm:ss   " in front of every entry line.
inline const QRegularExpression timeStampPrefix(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d   "));

} // namespace tallowick::test
