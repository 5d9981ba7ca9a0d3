#include "device/device_records.h"

#include "frames/frame_text.h"
#include "frames/modbus_pdu.h"
#include "log/json_line.h"
#include "log/time_stamp.h"

namespace tallowick {

namespace {

constexpr std::size_t resultCount = std::size_t(Result::Closed) + 1;

QString spansText(const std::vector<AddressSpan> &spans)
{
    QStringList parts;
    for (const AddressSpan &span : spans)
        parts += span.count == 1
                     ? QString::number(span.first)
                     : QStringLiteral("%1-%2").arg(span.first).arg(span.first + span.count - 1);
    return parts.join(QStringLiteral(", "));
}

QString ruleText(const ServedRequest &served, const FaultRules &rules)
{
    return served.rule ? rules.rules()[*served.rule].text : QString();
}

// An RTU frame ends in a CRC, which its text sets apart.
bool rtuFramed(const ServedRequest &served)
{
    return served.kind != LinkKind::Mbap;
}

} // namespace

QString deviceTextLine(const DeviceRecord &record, const FaultRules &rules)
{
    const ServedRequest &served = record.served;
    QString line = u'#' + QString::number(served.number) + QStringLiteral("  ") +
                   isoLocalTime(record.wallUs).mid(11, 15) + QStringLiteral("  ") + record.link;
    if (!record.peer.isEmpty())
        line += QStringLiteral(" from ") + record.peer;
    if (served.unit)
        line += QStringLiteral("  unit ") + QString::number(*served.unit);
    if (served.function) {
        line += QStringLiteral("  %1").arg(*served.function, 2, 16, QLatin1Char('0')).toUpper();
        const QString name = functionName(*served.function);
        if (!name.isEmpty())
            line += u' ' + name;
    }
    if (!served.addresses.empty())
        line += u' ' + spansText(served.addresses);
    if (!served.names.isEmpty())
        line += QStringLiteral(" (") + served.names.join(QStringLiteral(", ")) + u')';
    line += QStringLiteral("  ") + resultName(served.result);
    if (served.exception) {
        line += QStringLiteral(" %1").arg(*served.exception, 2, 16, QLatin1Char('0')).toUpper();
        if (const QString name = exceptionName(*served.exception); !name.isEmpty())
            line += u' ' + name;
    }
    if (served.plan.reply)
        line += QStringLiteral("  ") + frameText(*served.plan.reply, rtuFramed(served));
    else if (served.result == Result::BadCrc || served.result == Result::TooShort ||
             served.result == Result::TooLong)
        line += QStringLiteral("  ") + frameText(served.request, rtuFramed(served));
    if (served.rule)
        line += QStringLiteral("  fault ") + ruleText(served, rules);
    if (record.responseUs)
        line += QStringLiteral("  after ") + millis3(*record.responseUs) + QStringLiteral(" ms");
    return line;
}

QByteArray deviceJsonLine(const DeviceRecord &record, const FaultRules &rules)
{
    const ServedRequest &served = record.served;
    JsonLine json;
    json.number("n", qint64(served.number))
        .text("time", isoLocalTime(record.wallUs))
        .text("link", record.link);
    if (!record.peer.isEmpty())
        json.text("peer", record.peer);
    json.number("unit", served.unit ? std::optional<qint64>(*served.unit) : std::nullopt)
        .number("function",
                served.function ? std::optional<qint64>(*served.function) : std::nullopt)
        .bytes("request", served.request)
        .bytesOrNull("reply", served.plan.reply)
        .text("result", resultName(served.result));
    if (served.names.isEmpty())
        json.number("name", std::nullopt);
    else
        json.text("name", served.names.join(QStringLiteral(", ")));
    if (served.rule)
        json.text("fault", ruleText(served, rules));
    else
        json.number("fault", std::nullopt);
    return json.number("response_us", record.responseUs).line();
}

void DeviceTally::add(const DeviceRecord &record)
{
    const ServedRequest &served = record.served;
    ++m_requests;
    ++m_results[std::size_t(served.result)];
    ++m_sources[std::size_t(served.source)];
    ++m_links[record.link];
    if (served.unit)
        ++m_units[*served.unit];
    if (record.responseUs)
        m_responseTimes.add(std::chrono::microseconds(*record.responseUs));
}

QString DeviceTally::summaryText(const FaultRules &rules, bool replays) const
{
    QString text = QString::number(m_requests) + QStringLiteral(" requests");
    QStringList parts;
    for (std::size_t i = 0; i < resultCount; ++i) {
        if (m_results[i] != 0)
            parts += QStringLiteral("%1 %2").arg(m_results[i]).arg(resultName(Result(i)));
    }
    if (!parts.isEmpty())
        text += QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    parts.clear();
    for (const auto &[link, count] : m_links)
        parts += QStringLiteral("%1 %2").arg(link).arg(count);
    if (!parts.isEmpty())
        text += QStringLiteral("; ") + parts.join(QStringLiteral(", "));
    parts.clear();
    for (const auto &[unit, count] : m_units)
        parts += QStringLiteral("unit %1 %2").arg(unit).arg(count);
    if (!parts.isEmpty())
        text += QStringLiteral("; ") + parts.join(QStringLiteral(", "));
    parts.clear();
    for (std::size_t i = 0; i < rules.rules().size(); ++i)
        parts += QStringLiteral("%1 applied %2").arg(rules.rules()[i].text).arg(rules.applied(i));
    if (!parts.isEmpty())
        text += QStringLiteral("; ") + parts.join(QStringLiteral(", "));
    if (replays)
        text += QStringLiteral("; %1 replayed, %2 mapped, %3 unknown")
                    .arg(m_sources[std::size_t(AnswerSource::Replay)])
                    .arg(m_sources[std::size_t(AnswerSource::Map)])
                    .arg(m_results[std::size_t(Result::Unknown)]);
    if (m_responseTimes.count() != 0) {
        QString times = QStringLiteral("; response time min %1, median %2, p99 %3, max %4 ms");
        for (const auto time : m_responseTimes.summaryFigures())
            times = times.arg(millis3(time.count()));
        text += times;
    }
    return text;
}

QByteArray DeviceTally::summaryJsonLine(const FaultRules &rules, bool replays) const
{
    JsonLine results;
    for (std::size_t i = 0; i < resultCount; ++i)
        results.number(resultName(Result(i)), qint64(m_results[i]));
    JsonLine links;
    for (const auto &[link, count] : m_links)
        links.number(link, qint64(count));
    JsonLine units;
    for (const auto &[unit, count] : m_units)
        units.number(QString::number(unit), qint64(count));
    JsonLine applied;
    for (std::size_t i = 0; i < rules.rules().size(); ++i)
        applied.number(rules.rules()[i].text, qint64(rules.applied(i)));
    JsonLine summary;
    summary.number("requests", qint64(m_requests))
        .object("results", results)
        .object("links", links)
        .object("units", units)
        .object("rules", applied);
    if (replays) {
        JsonLine sources;
        sources.number("replayed", qint64(m_sources[std::size_t(AnswerSource::Replay)]))
            .number("mapped", qint64(m_sources[std::size_t(AnswerSource::Map)]))
            .number("unknown", qint64(m_results[std::size_t(Result::Unknown)]));
        summary.object("replay", sources);
    }
    summary.responseTimes("response_us", m_responseTimes);
    return JsonLine().object("summary", summary).line();
}

} // namespace tallowick
