#pragma once

// A recorded device: the requests tallowick-monitor saw on a line with the
// replies the device gave them, read from the monitor's JSON Lines (--json),
// to be answered again as they were.
//
// What goes into the book: a frame the monitor took for a request (role
// "request", or "unknown" for one it could not tell from an echo at first)
// with a good CRC, paired with the reply whose "reply_to" names it, and that
// reply's "response_us". A request recorded several times with different
// replies is answered with them in turn, in the order recorded, and then again
// from the first, as a recorded counter counts again; the turns are the
// device's, whichever link asks. A request seen without a reply, or with a
// wrong CRC, is not in the book: the device did not answer it. A reply with a
// wrong CRC is replayed as recorded, since the recorded device sent it so.
// The summary line ends a capture: a capture appended after it numbers its
// frames from 1 again. A line that is not a JSON object, or a record without
// the keys the book needs, refuses the file. The book keeps the bytes of each
// distinct reply once, and a time for each recorded one, so it is never
// bigger than the file.

#include "device/map_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <chrono>
#include <optional>
#include <variant>
#include <vector>

namespace tallowick {

struct ReplayedReply
{
    // replyTo(): the RTU frame as recorded (unit, PDU, CRC); replyToPdu(): the
    // unit and the PDU, without the CRC.
    QByteArray reply;
    // From the end of the request to the start of the reply, as recorded.
    std::chrono::microseconds after{0};

    friend bool operator==(const ReplayedReply &, const ReplayedReply &) = default;
};

class ReplayBook
{
public:
    // A serial line or RTU over TCP: the request byte for byte (unit, PDU, CRC).
    std::optional<ReplayedReply> replyTo(QByteArrayView rtuRequest);
    // Modbus TCP: by the unit and the PDU of the recorded request.
    std::optional<ReplayedReply> replyToPdu(quint8 unit, QByteArrayView pdu);
    // Distinct recorded requests with a reply.
    qsizetype requests() const { return m_turns.size(); }

    // Adds the next recorded reply (an RTU frame) to the request with this
    // unit and PDU.
    void record(const QByteArray &unitAndPdu, ReplayedReply reply);

private:
    struct Turns
    {
        std::vector<ReplayedReply> replies; // in the order recorded
        std::size_t next = 0;
    };

    // The reply whose turn it is, the turn passed on.
    std::optional<ReplayedReply> nextReply(const QByteArray &unitAndPdu);

    QHash<QByteArray, Turns> m_turns; // by the request's unit and PDU
};

// Why a file was refused names the file, the line and the reason:
// "bus.jsonl:7: "bytes": not two hexadecimal digits a byte".
using ReplayRead = std::variant<ReplayBook, MapError>;

ReplayRead parseReplay(QByteArrayView jsonLines, const QString &fileName);
// "cannot read PATH: reason" when the file cannot be read.
ReplayRead readReplay(const QString &path);

} // namespace tallowick
