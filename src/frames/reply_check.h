#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

namespace tallowick {

// The log entry for a received reply: "接收 < " and its frame text, followed by
// the CRC it should have ended with when its last two bytes do not match.
// Nothing for a reply of fewer than two bytes, which has no CRC to check.
// crcCorrect, when given, learns whether they match: the CRC of a long reply
// costs more than its entry, so it is worked out once.
std::optional<QString> replyEntryText(QByteArrayView reply, bool *crcCorrect = nullptr);

// A CRC as the mismatch entry shows it: low byte, then high byte, each in
// uppercase hexadecimal without a leading zero (0x0A84 gives "84A").
QString expectedCrcText(quint16 crc);

// Why a reply could not be handled, as the failure entry numbers and names it.
struct ReplyFailure
{
    int number = 0;
    QString description;
};

// A reply of no or one byte: the byte before the last, where the CRC would
// begin, does not exist. Reported as this case always has been.
inline const ReplyFailure replyTooShort{9, QStringLiteral("Subscript out of range")};

// "------9:Subscript out of range------"
QString failureEntryText(const ReplyFailure &failure);

// True when the bytes are exactly one whole RTU reply whose CRC checks.
bool isCompleteRtuReply(QByteArrayView bytes);

} // namespace tallowick
