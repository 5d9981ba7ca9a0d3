#pragma once

#include "config/slot_folder.h"
#include "ui/controls.h"
#include "ui/repaint_hold_back.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace tallowick {

class ConfigSlots;
class ControlInputs;
class ExchangeEngine;
class LogPanel;
class TcpLink;

// The main window "Tallowick". Creating it runs start-up against the given
// program folder, where the configuration slot files live (by default where
// this build keeps them). It binds its
// controls to the exchange engine, the log and the configuration slots.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(const QString &programFolder = slotFolder(), QWidget *parent = nullptr);
    ~MainWindow() override;

    Controls &controls() { return m_ui; }
    ExchangeEngine &engine() { return *m_engine; }
    LogPanel &log() { return *m_log; }
    const ConfigSlots &configSlots() const { return *m_config; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void bindEngine();
    void startUp();
    // The window sees every key typed into its controls before they do.
    void Form_KeyPress(const QString &key);
    // Hands the selected log text to the decoder window.
    void getMsg_DblClick();
    void showLinkState();
    void showMode();

    Controls m_ui;
    std::unique_ptr<ControlInputs> m_inputs;
    TcpLink *m_tcp = nullptr;
    ExchangeEngine *m_engine = nullptr;
    LogPanel *m_log = nullptr;
    ConfigSlots *m_config = nullptr;
    // Send, Mode and the status label change with every exchange.
    RepaintHoldBack m_redraw;
    const QEvent *m_lastKey = nullptr;
    QPointer<QWidget> m_lastKeyTarget;
};

} // namespace tallowick
