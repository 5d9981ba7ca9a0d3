// The reply check and the reply text, and the length and quiet time that tell
// where a serial reply ends.
#include "engine/command_text.h"
#include "frames/crc.h"
#include "frames/modbus_pdu.h"
#include "frames/quiet_time.h"
#include "frames/reply_check.h"
#include "fuzz_check.h"
#include "links/line_timing.h"

#include <QRegularExpression>

using namespace tallowick;

namespace {

const QString received = QStringLiteral("接收 < ");
const QString crcWrong = QStringLiteral("  *CRC錯誤　正確為  ");

bool crcMatches(QByteArrayView reply)
{
    const quint16 crc = CRC16(reply);
    return quint8(reply[reply.size() - 2]) == (crc & 0xFF) && quint8(reply.back()) == (crc >> 8);
}

void checkEntry(QByteArrayView reply)
{
    const auto entry = replyEntryText(reply);
    FUZZ_CHECK(entry.has_value() == (reply.size() >= 2));
    if (!entry)
        return;
    const QString head = received + frameText(reply, true);
    FUZZ_CHECK(entry->startsWith(head));
    if (crcMatches(reply)) {
        FUZZ_CHECK(*entry == head);
    } else {
        FUZZ_CHECK(*entry == head + crcWrong + expectedCrcText(CRC16(reply)));
    }
}

void checkExpectedCrcText(quint16 crc)
{
    static const QRegularExpression shape(QStringLiteral("^[0-9A-F]{1,2}[0-9A-F]{1,2}$"));
    const QString text = expectedCrcText(crc);
    FUZZ_CHECK(shape.match(text).hasMatch());
    const QString low = QString::number(crc & 0xFF, 16).toUpper();
    FUZZ_CHECK(text.startsWith(low) && text.sliced(low.size()).toUInt(nullptr, 16) == (crc >> 8));
}

void checkFraming(QByteArrayView bytes, qint32 baudRate)
{
    const FrameLength length = rtuFrameLength(bytes, PduRole::Reply);
    if (length.status == FrameLength::Known) {
        FUZZ_CHECK(length.bytes >= 5 && length.bytes <= 3 + 255 + 2);
        // Once the first bytes tell the length, more bytes do not change it.
        for (qsizetype prefix = bytes.size(); prefix >= 3; --prefix) {
            const FrameLength shorter = rtuFrameLength(bytes.first(prefix), PduRole::Reply);
            FUZZ_CHECK(shorter.status != FrameLength::Known || shorter.bytes == length.bytes);
        }
    }
    const bool complete = isCompleteRtuReply(bytes);
    FUZZ_CHECK(!complete || (length.status == FrameLength::Known && length.bytes == bytes.size() &&
                             crcMatches(bytes)));

    LineSettings settings;
    settings.baudRate = baudRate;
    const LineTiming timing = lineTiming(settings);
    FUZZ_CHECK(timing.t35 >= std::chrono::microseconds(1750));
    FUZZ_CHECK(timing.t15 < timing.t35 && timing.character > std::chrono::nanoseconds(0));
    if (baudRate > 0 && baudRate < std::numeric_limits<qint32>::max()) {
        settings.baudRate = baudRate + 1;
        FUZZ_CHECK(lineTiming(settings).t35 <= timing.t35);
    }
    const auto quiet = replyQuietTime(bytes, timing.frameEnd());
    if (complete) {
        FUZZ_CHECK(quiet >= timing.frameEnd() &&
                   quiet - timing.frameEnd() < std::chrono::microseconds(1));
    } else {
        FUZZ_CHECK(quiet == batchedQuietTime);
    }
    FUZZ_CHECK(replyQuietTime(bytes, std::nullopt) == batchedQuietTime);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzz::bytes(data, size);
    checkEntry(bytes);
    // The same bytes as the data of a frame with its right CRC: never an error.
    const QByteArray frame = buildFrame(bytes, true);
    checkEntry(frame);
    FUZZ_CHECK(!replyEntryText(frame)->contains(crcWrong));

    qint32 baudRate = 9600;
    if (size >= sizeof baudRate)
        std::memcpy(&baudRate, data, sizeof baudRate);
    checkFraming(bytes, baudRate);
    checkFraming(frame, baudRate);
    checkExpectedCrcText(CRC16(bytes));
    return 0;
}
