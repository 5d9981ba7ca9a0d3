#include "ui/main_window.h"

#include "config/config_slots.h"
#include "decoder/decoder_window.h"
#include "engine/command_sender.h"
#include "engine/transmitter.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "replies/log_actions.h"
#include "replies/log_panel.h"
#include "replies/repeater.h"
#include "replies/reply_receiver.h"
#include "replies/reply_timeout.h"
#include "ui/dialogs.h"
#include "ui/log_box.h"
#include "ui/main_window_layout.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace tallowick {

namespace {
constexpr int versionNumber = 1311141140;
}

MainWindow::MainWindow(const QString &programFolder, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(programTitle);
    setFixedSize(1006, 644);

    m_ctx.window = this;
    m_ctx.programFolder = programFolder;
    buildMainWindowControls(this, m_ctx.ui);

    m_ctx.serial = new SerialLink(this);
    m_ctx.tcp = new TcpLink(this);
    m_ctx.log = new LogPanel(m_ctx.ui.getMsg, this);
    m_logActions = new LogActions(m_ctx, this);
    // Each handler object connects the controls and links it handles.
    m_ctx.transmitter = new Transmitter(m_ctx, this);
    m_ctx.sender = new CommandSender(m_ctx, this);
    m_ctx.receiver = new ReplyReceiver(m_ctx, this);
    m_ctx.timeout = new ReplyTimeout(m_ctx, this);
    m_ctx.repeater = new Repeater(m_ctx, this);
    m_ctx.config = new ConfigSlots(m_ctx, this);
    connect(m_ctx.ui.getMsg, &LogBox::doubleClicked, this, &MainWindow::getMsg_DblClick);

    installEventFilter(this);
    for (QWidget *child : findChildren<QWidget *>())
        child->installEventFilter(this);

    startUp();
    m_ctx.ui.send->setFocus();
}

MainWindow::~MainWindow() = default;

void MainWindow::startUp()
{
    Controls &ui = m_ctx.ui;
    ui.ver->setText(QString::number(versionNumber));
    m_ctx.state.serialMode = false;
    ui.ipSet->setVisible(true);
    ui.comset->setVisible(false);
    m_ctx.state.configFileName = QStringLiteral("config1.ini");
    m_ctx.config->loadAtStartUp();
    m_ctx.state.repeating = false;
    m_ctx.state.linkError = false;
    m_ctx.state.crcOnly = false;
    m_ctx.state.replyDone = true;
    ui.winsockstatus->setVisible(false);
    ui.winsockchk->stop();
    ui.Frame5->setVisible(false);
    ui.Frame6->setVisible(false);
    ui.filename->setText(QStringLiteral("config1："));
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
    QString selected = m_ctx.ui.getMsg->textCursor().selectedText();
    selected.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
    DecoderWindow::handOver(selected);
}

void MainWindow::Form_KeyPress(const QString &key)
{
    Controls &ui = m_ctx.ui;
    if (key == u"-") {
        const bool show = ui.winsockstatus->isHidden();
        ui.winsockstatus->setVisible(show);
        if (show)
            ui.winsockchk->start();
        else
            ui.winsockchk->stop();
    } else if (key == u"=") {
        const bool show = ui.Frame6->isHidden();
        ui.Frame6->setVisible(show);
        ui.Frame5->setVisible(show);
    }
}

} // namespace tallowick
