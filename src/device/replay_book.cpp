#include "device/replay_book.h"

#include "device/text_forms.h"
#include "frames/crc.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSet>
#include <cmath>

namespace tallowick {

namespace {

// A unit, a function code and a CRC: the least a request or a reply can be.
constexpr qsizetype shortestFrame = 4;

// JSON numbers are doubles: whole numbers are exact up to 2^53.
constexpr double largestWhole = 9007199254740992.0;

using Reason = QString;

std::variant<qint64, Reason> wholeNumber(const QJsonObject &record, QLatin1StringView key)
{
    const QJsonValue value = record.value(key);
    const double number = value.toDouble(0.5);
    if (!value.isDouble() || !(std::fabs(number) <= largestWhole) || number != std::floor(number))
        return QStringLiteral("\"%1\" is missing or not a whole number").arg(key);
    return qint64(number);
}

// Reads one capture's records after another, pairing replies with the
// requests they name.
class CaptureReader
{
public:
    std::optional<Reason> read(const QJsonObject &record);
    ReplayBook &book() { return m_book; }

private:
    std::optional<Reason> readReply(const QJsonObject &record, const QByteArray &bytes);

    ReplayBook m_book;
    // The frames of this capture that may yet be answered, by number: their
    // unit and PDU, or null for one that is no request for the book.
    QHash<qint64, QByteArray> m_waiting;
    qint64 m_lastNumber = 0;
    // The replies read so far, each once: a device polled for hours gives the
    // same few replies over and over, and the book keeps one copy of each.
    QSet<QByteArray> m_distinctReplies;
};

std::optional<Reason> CaptureReader::read(const QJsonObject &record)
{
    if (record.contains(QLatin1StringView("summary"))) {
        m_waiting.clear();
        m_lastNumber = 0;
        return std::nullopt;
    }
    const auto number = wholeNumber(record, QLatin1StringView("n"));
    if (const auto *reason = std::get_if<Reason>(&number))
        return *reason;
    const qint64 n = std::get<qint64>(number);
    if (n <= m_lastNumber)
        return QStringLiteral("\"n\" %1 after %2: a capture numbers its frames upwards")
            .arg(n)
            .arg(m_lastNumber);
    m_lastNumber = n;

    const QJsonValue digits = record.value(QLatin1StringView("bytes"));
    const auto bytes = hexBytes(digits.toString());
    if (!digits.isString() || !bytes)
        return QStringLiteral("\"bytes\" is missing or not two hexadecimal digits a byte");
    const QJsonValue crcOk = record.value(QLatin1StringView("crc_ok"));
    if (!crcOk.isBool())
        return QStringLiteral("\"crc_ok\" is missing or not true or false");
    if (crcOk.toBool() != endsInGoodCrc(*bytes))
        return QStringLiteral("\"crc_ok\" is %1, but the bytes say otherwise")
            .arg(crcOk.toBool() ? QLatin1StringView("true") : QLatin1StringView("false"));

    const QString role = record.value(QLatin1StringView("role")).toString();
    if (role == u"reply")
        return readReply(record, *bytes);
    if (role != u"request" && role != u"unknown")
        return QStringLiteral("\"role\" is missing or not request, reply or unknown");
    const bool request = crcOk.toBool() && bytes->size() >= shortestFrame;
    m_waiting.insert(n, request ? bytes->chopped(2) : QByteArray());
    return std::nullopt;
}

std::optional<Reason> CaptureReader::readReply(const QJsonObject &record, const QByteArray &bytes)
{
    // A reply whose request went by before the monitor started answers
    // nothing the book knows.
    if (!record.contains(QLatin1StringView("reply_to")))
        return std::nullopt;
    const auto replyTo = wholeNumber(record, QLatin1StringView("reply_to"));
    if (const auto *reason = std::get_if<Reason>(&replyTo))
        return *reason;
    const auto request = m_waiting.constFind(std::get<qint64>(replyTo));
    if (request == m_waiting.cend())
        return QStringLiteral("\"reply_to\" %1 names no unanswered request before it")
            .arg(std::get<qint64>(replyTo));
    const auto responseUs = wholeNumber(record, QLatin1StringView("response_us"));
    if (const auto *reason = std::get_if<Reason>(&responseUs))
        return *reason;
    if (bytes.size() < shortestFrame)
        return QStringLiteral("a reply of %1 bytes: a unit, a function and a CRC are 4")
            .arg(bytes.size());
    // A reply cut from the request by its layout alone may start before the
    // request's measured end; it cannot be sent earlier than at once.
    const std::chrono::microseconds after{std::max<qint64>(std::get<qint64>(responseUs), 0)};
    if (!request->isNull())
        m_book.record(*request, {*m_distinctReplies.insert(bytes), after});
    m_waiting.erase(request);
    return std::nullopt;
}

} // namespace

void ReplayBook::record(const QByteArray &unitAndPdu, ReplayedReply reply)
{
    m_turns[unitAndPdu].replies.push_back(std::move(reply));
}

std::optional<ReplayedReply> ReplayBook::nextReply(const QByteArray &unitAndPdu)
{
    const auto found = m_turns.find(unitAndPdu);
    if (found == m_turns.end())
        return std::nullopt;
    Turns &turns = *found;
    const ReplayedReply &reply = turns.replies[turns.next];
    turns.next = (turns.next + 1) % turns.replies.size();
    return reply;
}

std::optional<ReplayedReply> ReplayBook::replyTo(QByteArrayView rtuRequest)
{
    // Only requests with a good CRC are in the book, so a request matches one
    // byte for byte exactly when its unit and PDU do and its CRC is good.
    if (rtuRequest.size() < shortestFrame || !endsInGoodCrc(rtuRequest))
        return std::nullopt;
    return nextReply(rtuRequest.chopped(2).toByteArray());
}

std::optional<ReplayedReply> ReplayBook::replyToPdu(quint8 unit, QByteArrayView pdu)
{
    QByteArray unitAndPdu;
    unitAndPdu.reserve(1 + pdu.size());
    unitAndPdu.append(char(unit)).append(pdu);
    auto reply = nextReply(unitAndPdu);
    if (reply)
        reply->reply.chop(2);
    return reply;
}

ReplayRead parseReplay(QByteArrayView jsonLines, const QString &fileName)
{
    CaptureReader reader;
    int lineNumber = 0;
    for (qsizetype start = 0; start < jsonLines.size();) {
        qsizetype end = jsonLines.indexOf('\n', start);
        if (end < 0)
            end = jsonLines.size();
        const QByteArrayView line = jsonLines.sliced(start, end - start).trimmed();
        start = end + 1;
        ++lineNumber;
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
        std::optional<Reason> reason;
        if (error.error != QJsonParseError::NoError)
            reason = QStringLiteral("not JSON (%1 at column %2)")
                         .arg(error.errorString())
                         .arg(error.offset + 1);
        else if (!document.isObject())
            reason = QStringLiteral("not a JSON object");
        else
            reason = reader.read(document.object());
        if (reason)
            return MapError{
                QStringLiteral("%1:%2: %3").arg(fileName, QString::number(lineNumber), *reason)};
    }
    return std::move(reader.book());
}

ReplayRead readReplay(const QString &path)
{
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return MapError{QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    return parseReplay(bytes, path);
}

} // namespace tallowick
