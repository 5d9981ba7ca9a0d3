#include "replies/reply_timeout.h"

#include "engine/command_sender.h"
#include "engine/send_checks.h"
#include "links/tcp_link.h"
#include "replies/log_panel.h"
#include "ui/context.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <chrono>

namespace tallowick {

namespace {
constexpr std::chrono::milliseconds stateLabelInterval{1000};
}

ReplyTimeout::ReplyTimeout(Context &context, QObject *parent) : QObject(parent), m_ctx(context)
{
    connect(m_ctx.ui.Timer, &QTimer::timeout, this, &ReplyTimeout::Timer_Timer);
    connect(m_ctx.ui.winsockchk, &QTimer::timeout, this, &ReplyTimeout::winsockchk_Timer);
    connect(m_ctx.ui.modeSelect, &QPushButton::clicked, this, &ReplyTimeout::modeSelect_Click);
}

void ReplyTimeout::Timer_Timer()
{
    Controls &ui = m_ctx.ui;
    WindowState &state = m_ctx.state;
    TcpLink &tcp = *m_ctx.tcp;

    // Try the TCP peer again when no connection is under way. Not in serial
    // mode, where it would reach a host the user is not using, and never over
    // a live connection.
    const int before = tcp.state();
    if (!state.serialMode && !state.linkOpen && before != TcpLink::Connecting &&
        before != TcpLink::Connected) {
        if (const auto port = tcpPort(ui.port->text()))
            tcp.connectTo(ui.address->text(), *port);
    }

    ui.Timer->stop();

    const int after = tcp.state();
    if (after == TcpLink::Error) {
        m_ctx.log->addEntry(QStringLiteral("------9:連線錯誤------"), 2);
        state.linkError = true;
    } else {
        state.linkError = false;
        m_ctx.log->addEntry(QStringLiteral("--------無回應--------"), 2);
    }

    if (ui.connect[0]->isChecked()) {
        tcp.close();
        ui.status->setText(QStringLiteral("No Connected."));
        m_ctx.log->addEntry(QStringLiteral("-------關閉連線-------"), 2);
        if (tcp.state() != TcpLink::Connected)
            state.linkError = true;
        state.linkOpen = false;
    } else if (state.linkOpen && (after == TcpLink::Closed || after == TcpLink::Error ||
                                  after == TcpLink::Connecting)) {
        // The peer closed or reset the connection we keep, or the connection
        // has not come about within the time-out (a peer that resets every
        // connection it accepts keeps the socket connecting again and again
        // for half a minute). Forget it, so that the next Send connects
        // afresh instead of reporting the dead socket or waiting behind the
        // old attempt for as long as the connection is to be kept.
        tcp.close();
        state.linkOpen = false;
    }

    m_ctx.sender->endExchange();
}

void ReplyTimeout::winsockchk_Timer()
{
    m_ctx.ui.winsockstatus->setText(QStringLiteral("winsock status :") +
                                    QString::number(m_ctx.tcp->state()));
    m_ctx.ui.winsockchk->setInterval(stateLabelInterval);
    m_ctx.ui.winsockchk->start();
}

void ReplyTimeout::modeSelect_Click()
{
    WindowState &state = m_ctx.state;
    state.serialMode = !state.serialMode;
    m_ctx.ui.comset->setVisible(state.serialMode);
    m_ctx.ui.ipSet->setVisible(!state.serialMode);
}

} // namespace tallowick
