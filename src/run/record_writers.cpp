#include "run/record_writers.h"

#include "frames/frame_text.h"
#include "log/json_line.h"
#include "platform/atomic_save.h"

#include <QStringList>
#include <QXmlStreamWriter>

#include <algorithm>

namespace tallowick {

namespace {

bool isFailure(ExchangeOutcome outcome)
{
    // A cut-short exchange says nothing about the device.
    return outcome != ExchangeOutcome::Ok && outcome != ExchangeOutcome::Interrupted;
}

// The figures of a tally in the order of the table's columns.
QStringList tallyCells(const ExchangeTally &tally)
{
    QStringList cells{QString::number(tally.exchanges())};
    for (std::size_t i = 0; i < exchangeOutcomeCount; ++i)
        cells << QString::number(tally.count(ExchangeOutcome(i)));
    const ResponseTimes &times = tally.times();
    const auto ms = [&times](std::chrono::microseconds time) {
        return times.count() > 0 ? millis3(time.count()) : QStringLiteral("-");
    };
    for (const auto time : times.summaryFigures())
        cells << ms(time);
    return cells;
}

JsonLine jsonTally(const ExchangeTally &tally)
{
    JsonLine json;
    json.number("exchanges", qint64(tally.exchanges()));
    for (std::size_t i = 0; i < exchangeOutcomeCount; ++i) {
        const QByteArray name = outcomeName(ExchangeOutcome(i)).toLatin1();
        json.number(name.constData(), qint64(tally.count(ExchangeOutcome(i))));
    }
    return json.responseTimes("response_us", tally.times());
}

QString countsText(const ExchangeTally &tally)
{
    QStringList parts;
    for (std::size_t i = 0; i < exchangeOutcomeCount; ++i) {
        if (const quint64 count = tally.count(ExchangeOutcome(i)))
            parts << QStringLiteral("%1 %2").arg(count).arg(outcomeName(ExchangeOutcome(i)));
    }
    return QStringLiteral("%1 exchanges: ").arg(tally.exchanges()) +
           parts.join(QStringLiteral(", "));
}

} // namespace

QString summaryTable(const ExchangeStats &stats)
{
    QStringList header{QStringLiteral("line"), QStringLiteral("exchanges")};
    for (std::size_t i = 0; i < exchangeOutcomeCount; ++i)
        header << outcomeName(ExchangeOutcome(i));
    header << QStringLiteral("min ms") << QStringLiteral("median ms") << QStringLiteral("p99 ms")
           << QStringLiteral("max ms");
    QList<QStringList> rows{header};
    for (const auto &[line, tally] : stats.lines())
        rows << (QStringList{QString::number(line)} + tallyCells(tally));
    rows << (QStringList{QStringLiteral("total")} + tallyCells(stats.total()));

    QList<qsizetype> widths(header.size(), 0);
    for (const QStringList &row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    QString table;
    for (const QStringList &row : rows) {
        QStringList cells;
        for (qsizetype i = 0; i < row.size(); ++i)
            cells << (i == 0 ? row[i].leftJustified(widths[i]) : row[i].rightJustified(widths[i]));
        table += cells.join(QStringLiteral("  ")) + u'\n';
    }
    return table;
}

void SummaryWriter::finish(const ExchangeStats &stats)
{
    m_out.writeText(summaryTable(stats));
    m_out.flush();
}

QByteArray jsonRecordLine(const ExchangeRecord &record)
{
    return JsonLine()
        .number("n", qint64(record.n))
        .text("time", record.time)
        .number("line", record.line)
        .bytes("request", record.request)
        .bytesOrNull("reply", record.reply)
        .text("result", outcomeName(record.outcome))
        .number("response_us",
                record.response ? std::optional<qint64>(record.response->count()) : std::nullopt)
        .line();
}

QByteArray jsonSummaryLine(const ExchangeStats &stats)
{
    JsonLine lines;
    for (const auto &[line, tally] : stats.lines())
        lines.object(QByteArray::number(line).constData(), jsonTally(tally));
    return JsonLine()
        .object("summary",
                JsonLine().object("total", jsonTally(stats.total())).object("lines", lines))
        .line();
}

void JsonLinesWriter::record(const ExchangeRecord &record)
{
    m_out.write(jsonRecordLine(record));
}

void JsonLinesWriter::finish(const ExchangeStats &stats)
{
    m_out.write(jsonSummaryLine(stats));
    m_out.flush();
}

JUnitReport::JUnitReport(const QString &path, const QString &suiteName)
    : m_path(path), m_suite(suiteName)
{
}

void JUnitReport::record(const ExchangeRecord &record)
{
    if (isFailure(record.outcome) && !m_firstFailure.count(record.line))
        m_firstFailure.emplace(record.line, record);
}

QByteArray JUnitReport::xml(const ExchangeStats &stats) const
{
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.writeStartDocument();
    const auto &lines = stats.lines();
    const auto failures = QString::number(m_firstFailure.size());
    out.writeStartElement(QStringLiteral("testsuites"));
    out.writeAttribute(QStringLiteral("tests"), QString::number(lines.size()));
    out.writeAttribute(QStringLiteral("failures"), failures);
    out.writeStartElement(QStringLiteral("testsuite"));
    out.writeAttribute(QStringLiteral("name"), m_suite);
    out.writeAttribute(QStringLiteral("tests"), QString::number(lines.size()));
    out.writeAttribute(QStringLiteral("failures"), failures);
    out.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    out.writeAttribute(QStringLiteral("skipped"), QStringLiteral("0"));
    for (const auto &[line, tally] : lines) {
        out.writeStartElement(QStringLiteral("testcase"));
        out.writeAttribute(QStringLiteral("name"), QStringLiteral("CMD%1").arg(line));
        out.writeAttribute(QStringLiteral("classname"), m_suite);
        // The time a CI server adds up is the devices': the sum of the replies'
        // times is not kept, so none is claimed.
        if (const auto failed = m_firstFailure.find(line); failed != m_firstFailure.end()) {
            const ExchangeRecord &first = failed->second;
            quint64 failedCount = 0;
            for (std::size_t i = 0; i < exchangeOutcomeCount; ++i) {
                if (isFailure(ExchangeOutcome(i)))
                    failedCount += tally.count(ExchangeOutcome(i));
            }
            out.writeStartElement(QStringLiteral("failure"));
            out.writeAttribute(QStringLiteral("type"), outcomeName(first.outcome));
            out.writeAttribute(QStringLiteral("message"),
                               QStringLiteral("%1 of %2 exchanges failed")
                                   .arg(failedCount)
                                   .arg(tally.exchanges()));
            out.writeCharacters(
                countsText(tally) +
                QStringLiteral("\nfirst failure: exchange %1 at %2, %3\nrequest %4\nreply %5\n")
                    .arg(first.n)
                    .arg(first.time, outcomeName(first.outcome), frameText(first.request, false),
                         first.reply ? frameText(*first.reply, false) : QStringLiteral("none")));
            out.writeEndElement();
        }
        out.writeTextElement(QStringLiteral("system-out"), countsText(tally) + u'\n');
        out.writeEndElement();
    }
    out.writeEndElement();
    out.writeEndElement();
    out.writeEndDocument();
    return xml;
}

void JUnitReport::finish(const ExchangeStats &stats)
{
    if (const auto failure = saveAtomically(m_path, {xml(stats)}))
        m_error = failure->reason;
}

} // namespace tallowick
