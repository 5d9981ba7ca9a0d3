#include "frames/reply_check.h"

#include "frames/crc.h"
#include "frames/frame_text.h"

namespace tallowick {

std::optional<QString> replyEntryText(QByteArrayView reply, bool *crcCorrect)
{
    if (reply.size() < 2)
        return std::nullopt;
    const quint16 crc = CRC16(reply);
    const bool correct = endsInCrc(reply, crc);
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
    return length && bytes.size() == *length && endsInGoodCrc(bytes);
}

} // namespace tallowick
