#pragma once

// How a request goes on a link and how its reply is cut from what arrives and
// judged. Three framings: RTU (the CRC appended and checked, each arrival on
// a socket or each quiet-ended burst on a line one reply), RTU over TCP (the
// same bytes on a socket) and Modbus TCP (an MBAP header, no CRC). The engine
// frames RTU itself, as the window always has; a Framing is what a link that
// is not RTU puts between the engine and the socket.

#include "frames/mbap.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tallowick {

// What the bytes that came were found to be.
struct FramedReply
{
    enum Verdict {
        Good,      // a whole reply that answers the request
        TooShort,  // fewer bytes than the reply's own layout needs
        BadHeader, // the header does not answer the request, or frames nothing
    };
    Verdict verdict = Good;
    QByteArray bytes; // as they came, header and all
    QByteArray frame; // unit id and PDU, without header; empty when none was cut
    QString reason;   // why it is not Good
};

class Framing
{
public:
    virtual ~Framing() = default;
    // The bytes to send for a frame (unit id first, no CRC); the reply is
    // judged against this request from now on.
    virtual QByteArray request(QByteArrayView frame) = 0;
    // Bytes as they arrive: the reply once there is one.
    virtual std::optional<FramedReply> take(QByteArrayView bytes) = 0;
    // The link ended, or the wait did, with part of a reply held: it is cut
    // short. Nothing when nothing is held.
    virtual std::optional<FramedReply> end() = 0;
};

// Modbus TCP: a transaction id counting from 1, protocol 0, the unit the
// request names; the reply framed by its MBAP length and held to its
// function's layout (a length that leaves "0103" alone is too short).
class MbapFraming : public Framing
{
public:
    QByteArray request(QByteArrayView frame) override;
    std::optional<FramedReply> take(QByteArrayView bytes) override;
    std::optional<FramedReply> end() override;

private:
    MbapReader m_reader;
    quint16 m_transactionId = 0;
    quint8 m_unit = 0;
};

} // namespace tallowick
