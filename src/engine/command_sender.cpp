#include "engine/command_sender.h"

#include "engine/numeric_value.h"
#include "engine/send_checks.h"
#include "engine/transmitter.h"
#include "links/serial_link.h"
#include "links/serial_settings.h"
#include "links/tcp_link.h"
#include "replies/log_panel.h"
#include "replies/reply_timeout.h"
#include "ui/context.h"
#include "ui/dialogs.h"
#include "ui/log_box.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace tallowick {

namespace {
const QString comPortErrorTitle = QStringLiteral("COM Port Error");
}

CommandSender::CommandSender(Context &context, QObject *parent) : QObject(parent), m_ctx(context)
{
    connect(m_ctx.ui.send, &QPushButton::clicked, this, [this] { send_Click(); });
    for (int i = 0; i < commandLineCount; ++i) {
        connect(m_ctx.ui.Label7[i], &ClickableLabel::clicked, this, [this, i] { Label7_Click(i); });
        connect(m_ctx.ui.Label7[i], &ClickableLabel::doubleClicked, this,
                [this, i] { Label7_DblClick(i); });
    }
}

int CommandSender::checkNULL() const
{
    return checkNullMask(m_ctx.ui.address->text(), m_ctx.ui.port->text(), m_ctx.ui.timeout->text());
}

SendOutcome CommandSender::send_Click()
{
    if (!m_ctx.state.replyDone) {
        m_ctx.timeout->Timer_Timer();
        return SendOutcome::Stopped;
    }
    const int mask = checkNULL();
    const double line = numericValue(m_ctx.ui.sendCnt->text());
    if (mask != 0 || !(line > 0)) {
        complainAboutSettings(mask);
        return SendOutcome::Refused;
    }
    // A number between two lines (0.3, 15.6) names none of them either.
    if (line >= 16 || !isWholeNumber(line)) {
        refuseLineIndex();
        return SendOutcome::Refused;
    }
    return startTransmission();
}

void CommandSender::Label7_Click(int index)
{
    if (!m_ctx.state.replyDone)
        return;
    const QString number = QString::number(index + 1);
    m_ctx.ui.sendCnt->setText(number);
    sendLabel(index + 1);
    m_ctx.ui.status->setText(QStringLiteral("Send command") + number);
}

void CommandSender::Label7_DblClick(int index)
{
    const bool lock = m_ctx.ui.cmd[index]->isEnabled();
    m_ctx.ui.cmd[index]->setEnabled(!lock);
    m_ctx.ui.noteText[index]->setEnabled(!lock);
}

SendOutcome CommandSender::sendLabel(int lineNumber)
{
    const int mask = checkNULL();
    if (lineNumber == 0 || mask != 0) {
        complainAboutSettings(mask);
        return SendOutcome::Refused;
    }
    if (lineNumber >= 16) {
        refuseLineIndex();
        return SendOutcome::Refused;
    }
    return startTransmission();
}

void CommandSender::complainAboutSettings(int mask)
{
    const SettingsComplaint complaint = settingsComplaint(mask);
    refuse(complaint.message, complaint.status);
}

void CommandSender::refuseLineIndex()
{
    dialogs::message(m_ctx.window, QStringLiteral("Error Command Line Index."), MbCritical);
    m_ctx.log->addEntry(
        QStringLiteral("-----沒有指令 ") + m_ctx.ui.sendCnt->text() + QStringLiteral("-----"), 2);
}

void CommandSender::refuse(const QString &message, const QString &status, const QString &title)
{
    dialogs::message(m_ctx.window, message, MbCritical, title);
    m_ctx.ui.status->setText(status);
}

SendOutcome CommandSender::startTransmission()
{
    Controls &ui = m_ctx.ui;
    WindowState &state = m_ctx.state;

    // Values the link cannot use are refused here, before the window starts
    // waiting for a reply that could never come.
    const auto interval = replyTimerInterval(ui.timeout->text());
    if (!interval) {
        refuse(QStringLiteral("Timeout is too large: at most 2147483647 ms."),
               QStringLiteral("Check Timeout setting."));
        return SendOutcome::Refused;
    }
    if (state.serialMode) {
        if (!m_ctx.serial->isOpen() && !serialDevicePath(ui.comSelect->text())) {
            refuse(QStringLiteral("Error port setting"), QStringLiteral("Check COM Port setting."),
                   comPortErrorTitle);
            return SendOutcome::Refused;
        }
    } else if (!tcpPort(ui.port->text())) {
        refuse(QStringLiteral("Port must be a whole number from 1 to 65535."),
               QStringLiteral("Check Port setting."));
        return SendOutcome::Refused;
    }

    state.replyDone = false;
    m_redraw.setText(ui.send, QStringLiteral("Stop"));
    m_redraw.setEnabled(ui.modeSelect, false);
    ui.Timer->setInterval(*interval);
    ui.Timer->start();

    if (state.serialMode)
        sendSerial();
    else
        sendTcp();
    return SendOutcome::Started;
}

void CommandSender::sendSerial()
{
    // Any failure leaves the window waiting; the time-out then reports the
    // missing reply.
    if (!m_ctx.serial->isOpen()) {
        switch (m_ctx.serial->open(m_ctx.ui.comSelect->text(), m_ctx.ui.configCOM->text())) {
        case SerialError::None:
            break;
        case SerialError::InvalidPort:
            dialogs::message(m_ctx.window, QStringLiteral("Error port setting"), MbCritical,
                             comPortErrorTitle);
            return;
        case SerialError::InvalidSettings:
            dialogs::message(m_ctx.window, QStringLiteral("Error configure setting"), MbCritical,
                             comPortErrorTitle);
            return;
        case SerialError::Other:
            return;
        }
    }
    // The port stays open after the transmission; only a reply closes it.
    m_ctx.transmitter->Winsock_Connect();
}

void CommandSender::sendTcp()
{
    Controls &ui = m_ctx.ui;
    WindowState &state = m_ctx.state;
    const int socketState = m_ctx.tcp->state();
    if (!state.linkOpen && socketState != TcpLink::Connecting) {
        // Nothing goes out yet: the connection event transmits the line that
        // sendCnt names when the connection is made.
        m_ctx.tcp->connectTo(ui.address->text(), *tcpPort(ui.port->text()));
        m_ctx.log->addEntry(QStringLiteral("IP:") + ui.address->text() + u':' + ui.port->text(), 2);
        m_ctx.log->addEntry(QStringLiteral("-------正在連線-------"), 2);
        m_redraw.setText(ui.status, QStringLiteral("Connecting..."));
        state.linkOpen = true;
    } else if (socketState == TcpLink::Connected || socketState == TcpLink::Connecting) {
        m_ctx.transmitter->Winsock_Connect();
        state.linkError = false;
    } else {
        m_ctx.log->addEntry(QStringLiteral("-------") + QString::number(socketState) + u':' +
                                TcpLink::stateName(socketState) + QStringLiteral("-------"),
                            2);
        state.linkError = true;
    }
}

void CommandSender::endExchange()
{
    m_ctx.state.replyDone = true;
    m_redraw.setText(m_ctx.ui.send, QStringLiteral("Send"));
    m_redraw.setEnabled(m_ctx.ui.modeSelect, true);
    emit exchangeEnded();
}

} // namespace tallowick
