#include "replies/reply_receiver.h"

#include "engine/command_sender.h"
#include "links/serial_link.h"
#include "links/tcp_link.h"
#include "replies/log_panel.h"
#include "replies/reply_check.h"
#include "ui/context.h"

#include <QLabel>
#include <QRadioButton>

#include <utility>

namespace tallowick {

namespace {
// A device that keeps sending never lets the line go quiet. What it sent so
// far is taken as a reply once it reaches this size (far beyond any Modbus
// reply), so the log takes a flood in pieces and the window keeps turning.
constexpr qsizetype serialReplyLimit = 8 * 1024;
} // namespace

ReplyReceiver::ReplyReceiver(Context &context, QObject *parent) : QObject(parent), m_ctx(context)
{
    connect(&m_serialQuiet, &PreciseTimer::timeout, this, &ReplyReceiver::serialReplyEnded);
    connect(m_ctx.serial, &SerialLink::dataReceived, this, &ReplyReceiver::MSComm1_OnComm);
    connect(m_ctx.serial, &SerialLink::failed, this, &ReplyReceiver::serialPortFailed);
    connect(m_ctx.tcp, &TcpLink::dataArrived, this, &ReplyReceiver::Winsock_DataArrival);
}

void ReplyReceiver::MSComm1_OnComm()
{
    if (!m_ctx.serial->isOpen())
        return;
    m_serialReply += m_ctx.serial->readAll();
    if (m_serialReply.isEmpty())
        return;
    if (m_serialReply.size() >= serialReplyLimit) {
        m_serialQuiet.stop();
        serialReplyEnded();
        return;
    }
    // Every arrival restarts the wait: a reply is what came until the line
    // went quiet. The reply time-out keeps running meanwhile, so one that
    // falls inside this wait is logged before the reply.
    m_serialQuiet.start(replyQuietTime(m_serialReply, m_ctx.serial->baudRate()));
}

void ReplyReceiver::serialReplyEnded()
{
    const QByteArray reply = std::exchange(m_serialReply, {});
    if (!m_ctx.serial->isOpen() || reply.isEmpty())
        return;
    handleReply(reply, true);
}

void ReplyReceiver::serialPortFailed()
{
    // The port is gone and already closed; a part reply from it is no reply.
    // The exchange ends by its time-out, and the next Send opens the port again.
    m_serialQuiet.stop();
    m_serialReply.clear();
}

void ReplyReceiver::Winsock_DataArrival()
{
    const QByteArray reply = m_ctx.tcp->fetch();
    if (reply.isEmpty())
        return;
    handleReply(reply, false);
}

void ReplyReceiver::handleReply(const QByteArray &reply, bool fromSerial)
{
    Controls &ui = m_ctx.ui;
    ui.Timer->stop();
    m_ctx.state.replyDone = true;

    // A reply too short to check is reported, and the exchange still ends as
    // after any other reply: a stray byte must not leave the window waiting
    // with its Send button reading "Stop".
    const auto entry = replyEntryText(reply);
    m_ctx.log->addEntry(entry ? *entry : failureEntryText(replyTooShort), 1);

    if (ui.connect[0]->isChecked()) {
        if (fromSerial)
            m_ctx.serial->close();
        m_ctx.tcp->close();
        ui.status->setText(QStringLiteral("Disconnected."));
        m_ctx.log->addEntry(QStringLiteral("-------關閉連線-------"), 2);
        m_ctx.state.linkOpen = false;
    }
    m_ctx.sender->endExchange();
}

} // namespace tallowick
