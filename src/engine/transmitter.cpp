#include "engine/transmitter.h"

#include "engine/command_text.h"
#include "engine/numeric_value.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "replies/log_panel.h"
#include "ui/context.h"
#include "ui/dialogs.h"
#include "ui/log_box.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace tallowick {

Transmitter::Transmitter(Context &context, QObject *parent) : QObject(parent), m_ctx(context)
{
    connect(m_ctx.ui.crcCalc, &QPushButton::clicked, this, &Transmitter::crcCalc_Click);
    connect(m_ctx.tcp, &TcpLink::connected, this, &Transmitter::onConnected);
}

void Transmitter::onConnected()
{
    // A connection that comes up while the serial link is chosen (one started
    // by an earlier time-out) must not put a frame nobody asked for on the
    // serial line.
    if (m_ctx.state.serialMode)
        return;
    const TransmitResult result = Winsock_Connect();
    if (result == TransmitResult::SocketSendFailed || result == TransmitResult::SerialWriteFailed)
        emit transmitFailed(result);
}

void Transmitter::refuseLine(const QString &lineText)
{
    dialogs::message(m_ctx.window, QStringLiteral("Command Input Error"), MbCritical);
    m_ctx.log->addEntry(QStringLiteral("-----沒有指令 ") + lineText + QStringLiteral("-----"), 2);
    m_ctx.log->appendLineBreak();
}

int Transmitter::chooseLine()
{
    WindowState &state = m_ctx.state;
    double index = 0;
    QString lineText;
    if (state.repeating) {
        if (state.repeatIndex > numericValue(m_ctx.ui.rpStop->text()) - 1)
            state.repeatIndex = numericValue(m_ctx.ui.rpStart->text()) - 1;
        state.nextLineReady = true;
        index = roundHalfEven(state.repeatIndex);
        lineText = QString::number(state.repeatIndex + 1);
        state.repeatIndex += 1;
    } else {
        const QString text = m_ctx.ui.sendCnt->text();
        const double value = numericValue(text);
        if (text.isEmpty() || value >= 16) {
            refuseLine(text);
            return -1;
        }
        // A number between lines (0.3, 15.6) names no line either.
        if (!isWholeNumber(value)) {
            refuseLine(text);
            return -1;
        }
        index = value - 1;
        lineText = text;
    }
    if (!(index >= 0 && index < commandLineCount)) {
        refuseLine(lineText);
        return -1;
    }
    return int(index);
}

TransmitResult Transmitter::Winsock_Connect()
{
    const int line = chooseLine();
    if (line < 0)
        return TransmitResult::Refused;

    const auto frame = commandFrame(m_ctx.ui.cmd[line]->text(), m_ctx.ui.crcEN->isChecked());
    if (!frame) {
        // The user learns why nothing was sent or logged.
        m_ctx.ui.status->setText(QStringLiteral("輸入錯誤"));
        return TransmitResult::Rejected;
    }

    const QString caption = m_ctx.ui.Label7[line]->text();
    if (m_ctx.state.crcOnly) {
        m_ctx.log->addEntry(QStringLiteral("CRC計算 ") + caption + QStringLiteral("> ") + frame->text, 2);
        return TransmitResult::Shown;
    }

    m_ctx.log->addEntry(QStringLiteral("傳送") + caption + QStringLiteral(" > ") + frame->text, 2);
    if (m_ctx.state.serialMode)
        return m_ctx.serial->write(frame->bytes) ? TransmitResult::Sent
                                                 : TransmitResult::SerialWriteFailed;
    if (m_ctx.tcp->state() == TcpLink::Connecting) {
        m_ctx.log->addEntry(QStringLiteral("-------正在連線-------"), 2);
        return TransmitResult::Pending;
    }
    return m_ctx.tcp->send(frame->bytes) ? TransmitResult::Sent : TransmitResult::SocketSendFailed;
}

void Transmitter::crcCalc_Click()
{
    m_ctx.state.crcOnly = true;
    Winsock_Connect();
    m_ctx.state.crcOnly = false;
}

} // namespace tallowick
