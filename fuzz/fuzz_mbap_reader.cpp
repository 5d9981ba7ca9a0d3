// The Modbus TCP reader on any byte stream a peer could send, in any pieces:
// it must cut the same frames whatever the pieces, never hold more than one
// frame's worth of bytes, and give back exactly the bytes it was fed.
#include "frames/mbap.h"
#include "fuzz_check.h"

#include <QStringList>

using namespace tallowick;

namespace {

// One take() result as text, frames with their header written out again.
QByteArray describe(const MbapRead &read)
{
    if (const auto *frame = std::get_if<MbapFrame>(&read)) {
        FUZZ_CHECK(frame->unitAndPdu.size() >= mbapLeastLength &&
                   frame->unitAndPdu.size() <= mbapGreatestLength);
        FUZZ_CHECK(quint8(frame->unitAndPdu[0]) == frame->unit);
        QByteArray bytes = mbapAdu(frame->transactionId, frame->unitAndPdu);
        bytes[2] = char(frame->protocol >> 8);
        bytes[3] = char(frame->protocol & 0xFF);
        return "frame " + bytes.toHex();
    }
    const auto &bad = std::get<MbapBadLength>(read);
    FUZZ_CHECK(bad.length < mbapLeastLength || bad.length > mbapGreatestLength);
    FUZZ_CHECK(!bad.reason.isEmpty());
    return "bad " + QByteArray::number(bad.length);
}

// Feeds the stream in pieces of `piece` bytes (all of it at once for 0), up to
// the first bad length, after which pieces and whole feeding part ways.
QList<QByteArray> readStream(QByteArrayView stream, qsizetype piece)
{
    MbapReader reader;
    QList<QByteArray> seen;
    qsizetype fed = 0;
    while (fed < stream.size()) {
        const qsizetype size = piece == 0 ? stream.size() : qMin(piece, stream.size() - fed);
        reader.feed(stream.sliced(fed, size));
        fed += size;
        for (;;) {
            const MbapRead read = reader.take();
            if (std::holds_alternative<MbapNeedMore>(read))
                break;
            seen << describe(read);
            if (std::holds_alternative<MbapBadLength>(read)) {
                FUZZ_CHECK(reader.buffered() == 0);
                return seen;
            }
        }
        // What is held is less than one frame, whatever was fed.
        FUZZ_CHECK(reader.buffered() < mbapLengthEnd + mbapGreatestLength);
    }
    // Frames written out again and what is still held make up the stream.
    QByteArray again;
    for (const QByteArray &entry : seen)
        again += QByteArray::fromHex(entry.sliced(6));
    FUZZ_CHECK(again.size() + reader.buffered() == stream.size());
    FUZZ_CHECK(QByteArrayView(again) == stream.first(again.size()));
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray stream = fuzz::bytes(data, size);
    const QList<QByteArray> whole = readStream(stream, 0);
    FUZZ_CHECK(readStream(stream, 1) == whole);
    if (size > 0)
        FUZZ_CHECK(readStream(stream, 1 + data[0] % 13) == whole);

    // A request of the bytes reads back as itself, and answers itself.
    const quint16 id = size >= 2 ? quint16(data[0] << 8 | data[1]) : 1;
    const QByteArray request = mbapAdu(id, stream);
    if (size > 0xFFFF) {
        FUZZ_CHECK(request.isEmpty());
        return 0;
    }
    FUZZ_CHECK(request.size() == mbapLengthEnd + stream.size());
    MbapReader reader;
    reader.feed(request);
    const MbapRead read = reader.take();
    if (size < std::size_t(mbapLeastLength) || size > std::size_t(mbapGreatestLength)) {
        FUZZ_CHECK(std::holds_alternative<MbapBadLength>(read));
        return 0;
    }
    const auto *frame = std::get_if<MbapFrame>(&read);
    FUZZ_CHECK(frame && frame->unitAndPdu == stream && frame->transactionId == id);
    FUZZ_CHECK(checkMbapReply(*frame, id, data[0]).ok);
    FUZZ_CHECK(!checkMbapReply(*frame, quint16(id + 1), data[0]).ok);
    FUZZ_CHECK(!checkMbapReply(*frame, id, quint8(data[0] + 1)).ok);
    return 0;
}
