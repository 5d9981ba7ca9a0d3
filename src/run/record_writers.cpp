#include "run/record_writers.h"

#include "platform/atomic_save.h"
#include "platform/line_writer.h"

#include <QStringList>
#include <QXmlStreamWriter>

#include <charconv>
#include <cstdio>
#include <ctime>
#include <limits>

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
    cells << ms(times.min()) << ms(times.median()) << ms(times.percentile(99)) << ms(times.max());
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
    const std::pair<const char *, std::chrono::microseconds> figures[] = {
        {"min_us", times.min()},
        {"median_us", times.median()},
        {"p99_us", times.percentile(99)},
        {"max_us", times.max()}};
    for (const auto &[key, time] : figures) {
        json += ",\"" + QByteArray(key) +
                "\":" + (times.count() > 0 ? QByteArray::number(qint64(time.count())) : "null");
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

QString isoLocalMicroseconds(std::chrono::system_clock::time_point moment)
{
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<microseconds>(moment.time_since_epoch());
    const auto wholeSeconds = floor<seconds>(sinceEpoch);
    // A run writes many records a second: the date, time and offset are
    // worked out once for each second (a change of daylight saving time falls
    // on a second's start).
    static qint64 cachedSecond = std::numeric_limits<qint64>::min();
    static char date[24];
    static char offsetText[24];
    if (wholeSeconds.count() != cachedSecond) {
        const std::time_t t = std::time_t(wholeSeconds.count());
        std::tm local{};
        localtime_r(&t, &local);
        std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
        // An offset is less than a day.
        const int offset = int(local.tm_gmtoff / 60 % (24 * 60));
        const int absOffset = offset < 0 ? -offset : offset;
        std::snprintf(offsetText, sizeof offsetText, "%c%02d:%02d", offset < 0 ? '-' : '+',
                      absOffset / 60, absOffset % 60);
        cachedSecond = wholeSeconds.count();
    }
    char text[80];
    std::snprintf(text, sizeof text, "%s.%06lld%s", date,
                  (long long)(sinceEpoch - wholeSeconds).count(), offsetText);
    return QString::fromLatin1(text);
}

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
    writeUtf8(m_out, summaryTable(stats));
}

QByteArray jsonRecordLine(const ExchangeRecord &record)
{
    // A soak writes one of these an exchange: built in one buffer, in place.
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray json;
    json.reserve(160 + 2 * (record.request.size() + record.reply.value_or(QByteArray()).size()));
    const auto number = [&json](qint64 value) {
        char text[24];
        const auto end = std::to_chars(text, text + sizeof text, value).ptr;
        json.append(text, end - text);
    };
    const auto hexString = [&json](const QByteArray &bytes) {
        json += '"';
        for (const char byte : bytes) {
            json += digits[quint8(byte) >> 4];
            json += digits[quint8(byte) & 15];
        }
        json += '"';
    };
    json += "{\"n\":";
    number(qint64(record.n));
    json += ",\"time\":\"";
    json += record.time.toLatin1();
    json += "\",\"line\":";
    number(record.line);
    json += ",\"request\":";
    hexString(record.request);
    json += ",\"reply\":";
    if (record.reply)
        hexString(*record.reply);
    else
        json += "null";
    json += ",\"result\":\"";
    json += outcomeName(record.outcome).toLatin1();
    json += "\",\"response_us\":";
    if (record.response)
        number(qint64(record.response->count()));
    else
        json += "null";
    json += "}\n";
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
    const QByteArray line = jsonRecordLine(record);
    std::fwrite(line.constData(), 1, std::size_t(line.size()), m_out);
}

void JsonLinesWriter::finish(const ExchangeStats &stats)
{
    const QByteArray line = jsonSummaryLine(stats);
    std::fwrite(line.constData(), 1, std::size_t(line.size()), m_out);
    std::fflush(m_out);
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
