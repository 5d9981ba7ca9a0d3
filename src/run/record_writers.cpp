#include "run/record_writers.h"

#include "platform/atomic_save.h"

#include <QStringList>
#include <QXmlStreamWriter>

#include <algorithm>
#include <charconv>
#include <string_view>

namespace tallowick {

namespace {

bool isFailure(ExchangeOutcome outcome)
{
    // A cut-short exchange says nothing about the device.
    return outcome != ExchangeOutcome::Ok && outcome != ExchangeOutcome::Interrupted;
}

QByteArray hex(const QByteArray &bytes)
{
    return bytes.toHex().toUpper();
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

QByteArray jsonTally(const ExchangeTally &tally)
{
    QByteArray json = "{\"exchanges\":" + QByteArray::number(tally.exchanges());
    for (std::size_t i = 0; i < exchangeOutcomeCount; ++i) {
        json += ",\"" + outcomeName(ExchangeOutcome(i)).toLatin1() +
                "\":" + QByteArray::number(tally.count(ExchangeOutcome(i)));
    }
    const ResponseTimes &times = tally.times();
    const char *const keys[] = {"min_us", "median_us", "p99_us", "max_us"};
    const auto figures = times.summaryFigures();
    for (std::size_t i = 0; i < figures.size(); ++i) {
        json += ",\"" + QByteArray(keys[i]) + "\":" +
                (times.count() > 0 ? QByteArray::number(qint64(figures[i].count())) : "null");
    }
    return json + '}';
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
    // A soak writes one of these an exchange: written through a pointer into
    // one buffer of the greatest length it can take, then cut to what it took
    // (appending byte by byte costs the container's checks on every byte).
    static constexpr char digits[] = "0123456789ABCDEF";
    const QString result = outcomeName(record.outcome);
    const qsizetype replySize = record.reply ? record.reply->size() : 0;
    QByteArray json(160 + record.time.size() + result.size() +
                        2 * (record.request.size() + replySize),
                    Qt::Uninitialized);
    char *at = json.data();
    const auto text = [&at](std::string_view piece) {
        at = std::copy(piece.begin(), piece.end(), at);
    };
    const auto number = [&at](qint64 value) { at = std::to_chars(at, at + 20, value).ptr; };
    const auto hexString = [&at](const QByteArray &bytes) {
        *at++ = '"';
        for (const char byte : bytes) {
            *at++ = digits[quint8(byte) >> 4];
            *at++ = digits[quint8(byte) & 15];
        }
        *at++ = '"';
    };
    // The time and the result are ASCII.
    const auto ascii = [&at](QStringView piece) {
        for (const QChar c : piece)
            *at++ = char(c.unicode());
    };
    text("{\"n\":");
    number(qint64(record.n));
    text(",\"time\":\"");
    ascii(record.time);
    text("\",\"line\":");
    number(record.line);
    text(",\"request\":");
    hexString(record.request);
    text(",\"reply\":");
    if (record.reply)
        hexString(*record.reply);
    else
        text("null");
    text(",\"result\":\"");
    ascii(result);
    text("\",\"response_us\":");
    if (record.response)
        number(qint64(record.response->count()));
    else
        text("null");
    text("}\n");
    json.truncate(at - json.constData());
    return json;
}

QByteArray jsonSummaryLine(const ExchangeStats &stats)
{
    QByteArray json = "{\"summary\":{\"total\":" + jsonTally(stats.total()) + ",\"lines\":{";
    bool first = true;
    for (const auto &[line, tally] : stats.lines()) {
        json += (first ? "\"" : ",\"") + QByteArray::number(line) + "\":" + jsonTally(tally);
        first = false;
    }
    return json + "}}}\n";
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
                    .arg(first.time, outcomeName(first.outcome),
                         QString::fromLatin1(hex(first.request)),
                         first.reply ? QString::fromLatin1(hex(*first.reply))
                                     : QStringLiteral("none")));
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
