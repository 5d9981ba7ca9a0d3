#pragma once

#include "replies/precise_timer.h"

#include <QByteArray>
#include <QObject>

namespace tallowick {

struct Context;

// Reply reception on both links: takes the reply, checks its CRC, logs it and
// ends the exchange.
class ReplyReceiver : public QObject
{
    Q_OBJECT
public:
    explicit ReplyReceiver(Context &context, QObject *parent = nullptr);

    // Bytes arrived on the serial port: collected until the line goes quiet.
    void MSComm1_OnComm();
    // Bytes arrived on the socket: each arrival is one reply.
    void Winsock_DataArrival();

private:
    void serialReplyEnded();
    void serialPortFailed();
    void handleReply(const QByteArray &reply, bool fromSerial);

    Context &m_ctx;
    QByteArray m_serialReply;   // bytes of the serial reply still arriving
    PreciseTimer m_serialQuiet; // ends the serial reply when the line goes quiet
};

} // namespace tallowick
