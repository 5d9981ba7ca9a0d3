#include "device/device_core.h"

#include "device/text_forms.h"
#include "frames/crc.h"
#include "frames/mbap.h"
#include "frames/modbus_pdu.h"

#include <algorithm>

namespace tallowick {

namespace {

bool isWrite(quint8 function)
{
    switch (function) {
    case 0x05:
    case 0x06:
    case 0x0F:
    case 0x10:
    case 0x16:
        return true;
    default:
        return false;
    }
}

// The reply behind a header with the request's transaction id (its protocol
// is 0: a request of another is not answered).
QByteArray mbapReply(QByteArrayView request, QByteArrayView unitAndPdu)
{
    return mbapAdu(bigEndian16(request, 0), unitAndPdu);
}

Result malformedResult(const MalformedRequest &malformed)
{
    return malformed.reason == MalformedRequest::TooLong ? Result::TooLong : Result::TooShort;
}

} // namespace

QString resultName(Result result)
{
    static constexpr const char *names[] = {"answered", "exception", "broadcast", "ignored",
                                            "bad-crc",  "too-short", "too-long",  "unknown",
                                            "silent",   "closed"};
    return QLatin1StringView(names[std::size_t(result)]);
}

std::variant<UnitList, QString> parseUnitList(QStringView text)
{
    auto units = numberSpans(text, u',', [](QStringView item) { return decimalNumber(item, 255); });
    const auto broadcast = [](const NumberSpan &span) { return span.first == 0; };
    if (!units || std::any_of(units->begin(), units->end(), broadcast))
        return QStringLiteral("takes unit ids from 1 to 255 and ranges of them, such as "
                              "1,5-7, not \"%1\"")
            .arg(text);
    return std::move(*units);
}

DeviceCore::DeviceCore(DeviceMap map, Setup setup, FaultRules rules,
                       std::optional<ReplayBook> replay)
    : m_map(std::move(map)), m_setup(std::move(setup)), m_rules(std::move(rules)),
      m_replay(std::move(replay))
{
}

bool DeviceCore::isUnit(quint8 unit) const
{
    return std::any_of(m_setup.units.begin(), m_setup.units.end(), [unit](const NumberSpan &span) {
        return unit >= span.first && unit <= span.last;
    });
}

QStringList DeviceCore::rowNames(quint8 function, const std::vector<AddressSpan> &spans) const
{
    const Table table = requestTable(function);
    QStringList names;
    for (const AddressSpan &span : spans) {
        for (int a = span.first; a < span.first + span.count && a < DeviceMap::places; ++a) {
            const auto row = m_map.rowAt(table, quint16(a));
            if (!row)
                continue;
            const QString &name = m_map.rows()[std::size_t(*row)].name;
            if (!name.isEmpty() && !names.contains(name))
                names += name;
        }
    }
    return names;
}

void DeviceCore::noteAnswer(ServedRequest &served, QByteArrayView replyPdu)
{
    const bool exception = !replyPdu.isEmpty() && (quint8(replyPdu[0]) & 0x80) != 0;
    served.result = exception ? Result::Exception : Result::Answered;
    if (exception && replyPdu.size() > 1)
        served.exception = quint8(replyPdu[1]);
}

ServedRequest DeviceCore::refuse(LinkKind kind, Result result, QByteArrayView bytes)
{
    ServedRequest served;
    served.number = ++m_served;
    served.kind = kind;
    served.request = bytes.toByteArray();
    served.result = result;
    return served;
}

ServedRequest DeviceCore::serve(LinkKind kind, QByteArrayView request)
{
    ServedRequest served;
    served.number = ++m_served;
    served.kind = kind;
    served.request = request.toByteArray();
    const bool mbap = kind == LinkKind::Mbap;
    if (mbap ? request.size() < mbapHeaderSize : request.size() < 4) {
        served.result = Result::TooShort;
        return served;
    }
    const quint8 unit = quint8(request[mbap ? mbapHeaderSize - 1 : 0]);
    const QByteArrayView pdu =
        mbap ? request.sliced(mbapHeaderSize) : request.sliced(1, request.size() - 3);
    served.unit = unit;
    if (!pdu.isEmpty())
        served.function = quint8(pdu[0]);
    if (!mbap && !endsInGoodCrc(request)) {
        served.result = Result::BadCrc;
        return served;
    }
    if (mbap && bigEndian16(request, 2) != 0) {
        // Another protocol than Modbus on the same header: not ours to answer.
        served.result = Result::Ignored;
        return served;
    }
    if (const auto malformed = malformedRequest(pdu)) {
        served.result = malformedResult(*malformed);
        return served;
    }
    served.addresses = requestAddresses(pdu);
    served.names = rowNames(quint8(pdu[0]), served.addresses);
    answerRequest(served, kind, unit, pdu, mbap ? QByteArrayView() : request);
    return served;
}

void DeviceCore::answerRequest(ServedRequest &served, LinkKind kind, quint8 unit,
                               QByteArrayView pdu, QByteArrayView asCame)
{
    const bool mbap = kind == LinkKind::Mbap;
    // A recorded device answered whatever it was asked on its bus, as it was asked.
    if (m_replay) {
        const auto recorded = mbap ? m_replay->replyToPdu(unit, pdu) : m_replay->replyTo(asCame);
        if (recorded) {
            served.source = AnswerSource::Replay;
            served.rule = m_rules.pick({unit, quint8(pdu[0]), served.addresses});
            QByteArray reply = mbap ? mbapReply(served.request, recorded->reply) : recorded->reply;
            // Unit id, then the PDU, on either framing.
            noteAnswer(served, QByteArrayView(recorded->reply).sliced(1));
            planReply(served, kind, reply, recorded->after);
            return;
        }
    }
    const bool broadcast = !mbap && unit == 0;
    const bool itself = mbap && (unit == 0 || unit == 0xFF);
    if (broadcast) {
        // Every device on the line takes a broadcast write; nobody answers.
        served.result = Result::Broadcast;
        if (isWrite(quint8(pdu[0])) && (!m_replay || m_setup.withMap)) {
            served.source = AnswerSource::Map;
            answer(m_map, pdu);
        }
        return;
    }
    if (!itself && !isUnit(unit)) {
        served.result = Result::Ignored;
        return;
    }
    if (m_replay && !m_setup.withMap) {
        served.result = Result::Unknown;
        return;
    }
    const quint8 ruleUnit = itself ? quint8(m_setup.units.front().first) : unit;
    const std::optional<std::size_t> rule =
        m_rules.pick({ruleUnit, quint8(pdu[0]), served.addresses});
    served.rule = rule;
    served.source = AnswerSource::Map;
    QByteArray replyPdu;
    if (const auto instead = rule ? replyInstead(m_rules.rules()[*rule].action, pdu) : std::nullopt)
        replyPdu = *instead;
    else
        replyPdu = std::get<QByteArray>(answer(m_map, pdu));
    noteAnswer(served, replyPdu);
    const QByteArray unitAndPdu = char(unit) + replyPdu;
    const QByteArray reply = mbap ? mbapReply(served.request, unitAndPdu) : withCrc(unitAndPdu);
    planReply(served, kind, reply, std::nullopt);
}

void DeviceCore::planReply(ServedRequest &served, LinkKind kind, QByteArray reply,
                           std::optional<std::chrono::microseconds> recorded)
{
    using namespace std::chrono;
    ReplyPlan &plan = served.plan;
    plan.wait = m_setup.delay ? microseconds(*m_setup.delay) : recorded.value_or(microseconds(0));
    if (!served.rule) {
        plan.reply = std::move(reply);
        return;
    }
    const FaultAction &action = m_rules.rules()[*served.rule].action;
    const ReplyFraming framing = kind == LinkKind::Mbap ? ReplyFraming::Mbap : ReplyFraming::Rtu;
    switch (action.kind) {
    case FaultAction::Delay:
        plan.wait = action.delay;
        break;
    case FaultAction::Silent:
        served.result = Result::Silent;
        return;
    case FaultAction::Close:
        // A line has no connection to drop: the reply is kept back instead.
        if (kind == LinkKind::Serial) {
            served.result = Result::Silent;
            return;
        }
        served.result = Result::Closed;
        plan.close = true;
        return;
    case FaultAction::Gap:
        plan.gap = action.delay;
        plan.gapAfter = action.bytes;
        break;
    default:
        break;
    }
    plan.reply = appliedToFrame(action, framing, std::move(reply));
}

} // namespace tallowick
