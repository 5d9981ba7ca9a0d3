#include "ui/main_window.h"

#include "engine/engine_assembly.h"
#include "engine/exchange_engine.h"
#include "links/tcp_link.h"
#include "ui/config_slots.h"
#include "ui/control_inputs.h"
#include "ui/decoder_window.h"
#include "ui/dialogs.h"
#include "ui/log_actions.h"
#include "ui/log_box.h"
#include "ui/log_panel.h"
#include "ui/main_window_layout.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace tallowick {

namespace {
constexpr int versionNumber = 1311141140;
constexpr std::chrono::milliseconds stateLabelInterval{1000};

ConfigControls configControls(QWidget *window, const QString &programFolder, const Controls &ui,
                              const std::array<QLineEdit *, configValueCount> &boxes)
{
    ConfigControls c;
    c.window = window;
    c.programFolder = programFolder;
    c.boxes = boxes;
    c.filecombo = ui.filecombo;
    c.filename = ui.filename;
    c.status = ui.status;
    c.save = ui.save;
    c.killCmd = ui.killCmd;
    c.importButton = ui.Command3;
    c.exportButton = ui.Command4;
    return c;
}
} // namespace

MainWindow::MainWindow(const QString &programFolder, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(programTitle);
    setFixedSize(1006, 644);
    buildMainWindowControls(this, m_ui);

    const auto boxes = configBoxes(this);
    m_inputs = std::make_unique<ControlInputs>(m_ui, boxes);
    const EngineAssembly parts = assembleEngine(*m_inputs, this);
    m_engine = parts.engine;
    m_tcp = parts.tcp;
    m_ui.Timer = parts.replyTimer;
    m_ui.repTimer = parts.repeatTimer;
    m_log = new LogPanel(m_ui.getMsg, this);
    new LogActions(m_log, m_ui.status, m_ui.Command1, m_ui.savelog, this);
    m_config = new ConfigSlots(configControls(this, programFolder, m_ui, boxes), this);
    bindEngine();
    connect(m_ui.getMsg, &LogBox::doubleClicked, this, &MainWindow::getMsg_DblClick);
    connect(m_ui.winsockchk, &QTimer::timeout, this, &MainWindow::showLinkState);

    installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);

    startUp();
    m_ui.send->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::bindEngine()
{
    ExchangeEngine *engine = m_engine;
    connect(m_ui.send, &QPushButton::clicked, engine, [engine] { engine->send(); });
    connect(m_ui.crcCalc, &QPushButton::clicked, engine, &ExchangeEngine::showCrc);
    connect(m_ui.Command2, &QPushButton::clicked, engine, &ExchangeEngine::toggleRepeat);
    connect(m_ui.modeSelect, &QPushButton::clicked, this, [this] {
        m_engine->toggleMode();
        showMode();
    });
    for (int i = 0; i < commandLineCount; ++i) {
        connect(m_ui.Label7[i], &ClickableLabel::clicked, engine,
                [engine, i] { engine->sendLineOf(i); });
        // A double-click locks the line against editing, or unlocks it.
        connect(m_ui.Label7[i], &ClickableLabel::doubleClicked, this, [this, i] {
            const bool lock = m_ui.cmd[i]->isEnabled();
            m_ui.cmd[i]->setEnabled(!lock);
            m_ui.noteText[i]->setEnabled(!lock);
        });
    }

    // Directly, so that a box is up before the status and log entries after it.
    connect(
        engine, &ExchangeEngine::messageRaised, this,
        [this](const UserMessage &message) { dialogs::message(this, message); },
        Qt::DirectConnection);
    connect(engine, &ExchangeEngine::logEntry, m_log, &LogPanel::addEntry);
    connect(engine, &ExchangeEngine::logLineBreak, m_log, &LogPanel::appendLineBreak);
    connect(engine, &ExchangeEngine::statusChanged, this,
            [this](const QString &caption) { m_redraw.setText(m_ui.status, caption); });
    connect(engine, &ExchangeEngine::lineNumberChosen, m_ui.sendCnt, &QLineEdit::setText);
    connect(engine, &ExchangeEngine::waitingChanged, this, [this](bool waiting) {
        m_redraw.setText(m_ui.send, waiting ? QStringLiteral("Stop") : QStringLiteral("Send"));
        m_redraw.setEnabled(m_ui.modeSelect, !waiting);
    });
    connect(engine, &ExchangeEngine::repeatingChanged, this, [this](bool repeating) {
        m_ui.Command2->setText(repeating ? QStringLiteral("Stop Send")
                                         : QStringLiteral("Repeat Send"));
    });
}

void MainWindow::startUp()
{
    m_ui.ver->setText(QString::number(versionNumber));
    showMode();
    m_config->loadAtStartUp();
    m_ui.winsockstatus->setVisible(false);
    m_ui.winsockchk->stop();
    m_ui.Frame5->setVisible(false);
    m_ui.Frame6->setVisible(false);
    m_ui.filename->setText(QStringLiteral("config1："));
}

void MainWindow::showMode()
{
    const bool serial = m_engine->serialMode();
    m_ui.comset->setVisible(serial);
    m_ui.ipSet->setVisible(!serial);
}

void MainWindow::showLinkState()
{
    m_ui.winsockstatus->setText(QStringLiteral("winsock status :") +
                                QString::number(m_tcp->state()));
    m_ui.winsockchk->setInterval(stateLabelInterval);
    m_ui.winsockchk->start();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // A key the focused control leaves unused travels up to its parents
        // as the same event; it counts once, where it was typed.
        auto *widget = static_cast<QWidget *>(watched);
        const bool travelling = event == m_lastKey && m_lastKeyTarget &&
                                widget != m_lastKeyTarget && widget->isAncestorOf(m_lastKeyTarget);
        if (!travelling) {
            m_lastKey = event;
            m_lastKeyTarget = widget;
            Form_KeyPress(static_cast<QKeyEvent *>(event)->text());
        }
    }
    return QWidget::eventFilter(watched, event); // the key still reaches the control
}

void MainWindow::getMsg_DblClick()
{
    QString selected = m_ui.getMsg->textCursor().selectedText();
    selected.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
    DecoderWindow::handOver(selected);
}

void MainWindow::Form_KeyPress(const QString &key)
{
    if (key == u"-") {
        const bool show = m_ui.winsockstatus->isHidden();
        m_ui.winsockstatus->setVisible(show);
        if (show)
            m_ui.winsockchk->start();
        else
            m_ui.winsockchk->stop();
    } else if (key == u"=") {
        const bool show = m_ui.Frame6->isHidden();
        m_ui.Frame6->setVisible(show);
        m_ui.Frame5->setVisible(show);
    }
}

} // namespace tallowick

#include "moc_main_window.cpp"
