#pragma once

// What the device makes of one request, whatever link it came on: whether it
// is for this device at all, its answer from the map or the recorded device,
// the rule it meets and the reply as it will go on the link. Nothing here
// waits or writes: the link does what the plan says (wait, send, pause inside
// the reply, drop the connection) and tells the moment it sent.

#include "device/answers.h"
#include "device/device_map.h"
#include "device/fault_bytes.h"
#include "device/fault_rules.h"
#include "device/replay_book.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <chrono>
#include <optional>
#include <vector>

namespace tallowick {

// How requests come: RTU frames cut by the line's silences, RTU frames on a
// socket, or Modbus TCP.
enum class LinkKind : quint8 { Serial, RtuOverTcp, Mbap };

// What came of a request, as the records name it (resultName()).
enum class Result : quint8 {
    Answered,
    Exception, // answered with an exception
    Broadcast, // unit 0 on an RTU link: applied, never answered
    Ignored,   // another unit's
    BadCrc,
    TooShort,
    TooLong,
    Unknown, // a replay without an answer for it and no map
    Silent,  // a rule kept the reply back
    Closed,  // a rule dropped the connection
};
QString resultName(Result result);

// Where the answer came from, when --replay is given.
enum class AnswerSource : quint8 { Map, Replay, None };

// What the link does with the reply.
struct ReplyPlan
{
    std::optional<QByteArray> reply;   // the bytes as they go on the link
    std::chrono::microseconds wait{0}; // from the request's end to the reply's first byte
    // A silence of `gap` after the first `gapAfter` bytes (gap=MS:K).
    std::chrono::milliseconds gap{0};
    int gapAfter = 0;
    bool close = false; // drop the connection instead
};

struct ServedRequest
{
    quint64 number = 0; // from 1, over every link
    LinkKind kind = LinkKind::Serial;
    QByteArray request; // as it came on the link
    std::optional<quint8> unit;
    std::optional<quint8> function;
    std::vector<AddressSpan> addresses;
    QStringList names; // of the map's rows the request touches, as the map names them
    Result result = Result::Answered;
    std::optional<quint8> exception; // the code of an exception answered
    AnswerSource source = AnswerSource::None;
    std::optional<std::size_t> rule; // the fault rule applied
    ReplyPlan plan;
};

// The units a device is, from --unit "1,5-7".
using UnitList = std::vector<NumberSpan>;
// Units 1 to 255 (0 is the broadcast); the list, or why not.
std::variant<UnitList, QString> parseUnitList(QStringView text);

class DeviceCore
{
public:
    struct Setup
    {
        UnitList units{{1, 1}};
        // --delay; none: not given (a replay then waits the recorded times).
        std::optional<std::chrono::milliseconds> delay;
        bool withMap = true; // false for "-": every read and write gets exception 02
    };

    DeviceCore(DeviceMap map, Setup setup, FaultRules rules,
               std::optional<ReplayBook> replay = std::nullopt);

    // The request as it came: an RTU frame (address, PDU, CRC) on a serial
    // line or RTU over TCP, a whole Modbus TCP frame (MBAP header and PDU).
    ServedRequest serve(LinkKind kind, QByteArrayView request);
    // A request its link could not frame (a Modbus TCP length no frame has,
    // bytes left when a connection ended): counted, never answered.
    ServedRequest refuse(LinkKind kind, Result result, QByteArrayView bytes);

    DeviceMap &map() { return m_map; }
    const FaultRules &rules() const { return m_rules; }
    bool replays() const { return m_replay.has_value(); }

private:
    bool isUnit(quint8 unit) const;
    // The result of a reply PDU: answered, or an exception and its code.
    static void noteAnswer(ServedRequest &served, QByteArrayView replyPdu);
    QStringList rowNames(quint8 function, const std::vector<AddressSpan> &spans) const;
    // `asCame` is the RTU frame, for a replay to find byte for byte.
    void answerRequest(ServedRequest &served, LinkKind kind, quint8 unit, QByteArrayView pdu,
                       QByteArrayView asCame);
    // The rule's action applied to the reply framed for the link.
    void planReply(ServedRequest &served, LinkKind kind, QByteArray reply,
                   std::optional<std::chrono::microseconds> recorded);

    DeviceMap m_map;
    Setup m_setup;
    FaultRules m_rules;
    std::optional<ReplayBook> m_replay;
    quint64 m_served = 0;
};

} // namespace tallowick
