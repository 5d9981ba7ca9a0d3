#include "replies/reply_check.h"

#include "replies/frame_text.h"

#include <algorithm>

namespace tallowick {

std::optional<QString> replyEntryText(QByteArrayView reply, bool *crcCorrect)
{
    if (reply.size() < 2)
        return std::nullopt;
    const quint16 crc = CRC16(reply);
    const bool correct =
        quint8(reply[reply.size() - 2]) == (crc & 0xFF) && quint8(reply.back()) == (crc >> 8);
    if (crcCorrect)
        *crcCorrect = correct;
    QString text = QStringLiteral("接收 < ") + frameText(reply, true);
    if (!correct)
        text += QStringLiteral("  *CRC錯誤　正確為  ") + expectedCrcText(crc);
    return text;
}

QString expectedCrcText(quint16 crc)
{
    return QString::number(crc & 0xFF, 16).toUpper() + QString::number(crc >> 8, 16).toUpper();
}

QString failureEntryText(const ReplyFailure &failure)
{
    return QStringLiteral("------") + QString::number(failure.number) + u':' + failure.description +
           QStringLiteral("------");
}

std::optional<qsizetype> rtuReplyLength(QByteArrayView bytes)
{
    if (bytes.size() < 2)
        return std::nullopt;
    const auto function = quint8(bytes[1]);
    if (function & 0x80)
        return 5; // address, function, exception code, CRC
    switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
        if (bytes.size() < 3)
            return std::nullopt;
        return 3 + qsizetype(quint8(bytes[2])) + 2; // the byte count says how many follow
    case 0x05:
    case 0x06:
    case 0x0F:
    case 0x10:
        return 8; // the request's address and value (or quantity) echoed
    default:
        return std::nullopt;
    }
}

bool isCompleteRtuReply(QByteArrayView bytes)
{
    const auto length = rtuReplyLength(bytes);
    if (!length || bytes.size() != *length)
        return false;
    const quint16 crc = CRC16(bytes);
    return quint8(bytes[bytes.size() - 2]) == (crc & 0xFF) && quint8(bytes.back()) == (crc >> 8);
}

std::chrono::microseconds interFrameSilence(qint32 baudRate)
{
    using namespace std::chrono;
    constexpr microseconds fastLineSilence{1750};
    if (baudRate <= 0)
        return fastLineSilence;
    // 3.5 characters of 11 bits each, rounded up to the next microsecond.
    const qint64 micros =
        (qint64(35) * 11 * 1'000'000 + qint64(10) * baudRate - 1) / (qint64(10) * baudRate);
    return std::max(microseconds(micros), fastLineSilence);
}

std::chrono::microseconds replyQuietTime(QByteArrayView bytes, qint32 baudRate)
{
    if (baudRate <= 0 || !isCompleteRtuReply(bytes))
        return batchedQuietTime;
    return interFrameSilence(baudRate);
}

} // namespace tallowick
