// The replay book's reader on any file bytes: a refusal names the file and a
// line; a book it takes answers each frame of the file the same by its bytes
// on a serial line and by its unit and PDU on Modbus TCP, and only a frame
// with a good CRC.
#include "device/replay_book.h"
#include "frames/crc.h"
#include "fuzz_check.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace tallowick;

namespace {

const QString fileName = QStringLiteral("fuzz.jsonl");

// The "bytes" of every line that has them, as the requests to ask.
QList<QByteArray> framesOf(const QByteArray &jsonLines)
{
    QList<QByteArray> frames;
    for (const QByteArray &line : jsonLines.split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        frames << QByteArray::fromHex(
            record.value(QLatin1StringView("bytes")).toString().toLatin1());
    }
    return frames;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    ReplayRead read = parseReplay(input, fileName);
    if (const auto *error = std::get_if<MapError>(&read)) {
        FUZZ_CHECK(error->text.startsWith(fileName + u':'));
        FUZZ_CHECK(error->text.section(u':', 1, 1).toInt() >= 1);
        return 0;
    }
    ReplayBook &serial = std::get<ReplayBook>(read);
    ReplayBook tcp = std::get<ReplayBook>(parseReplay(input, fileName));
    FUZZ_CHECK(serial.requests() == tcp.requests());
    for (const QByteArray &frame : framesOf(input)) {
        const auto byBytes = serial.replyTo(frame);
        if (!endsInGoodCrc(frame) || frame.size() < 3) {
            FUZZ_CHECK(!byBytes);
            continue;
        }
        const auto byPdu =
            tcp.replyToPdu(quint8(frame[0]), QByteArrayView(frame).sliced(1).chopped(2));
        FUZZ_CHECK(byBytes.has_value() == byPdu.has_value());
        if (!byBytes)
            continue;
        FUZZ_CHECK(byBytes->reply.size() >= 4 && byBytes->after.count() >= 0);
        FUZZ_CHECK(byPdu->reply == byBytes->reply.chopped(2) && byPdu->after == byBytes->after);
    }
    return 0;
}
