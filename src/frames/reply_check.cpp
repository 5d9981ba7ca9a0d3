#include "frames/reply_check.h"

#include "frames/crc.h"
#include "frames/frame_text.h"
#include "frames/modbus_pdu.h"

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

bool isCompleteRtuReply(QByteArrayView bytes)
{
    return hasLayoutLength(bytes, PduRole::Reply) && endsInGoodCrc(bytes);
}

} // namespace tallowick
