// The monitor's frame cutter and pairing on any line: bytes in reads of any
// size with any silences between them. The frames must give back exactly the
// bytes fed, in order, with times that never run backwards; a split must
// leave frames whose CRCs hold at lengths their function codes allow; and a
// reply must answer an earlier request within the time-out.
#include "frames/crc.h"
#include "frames/modbus_pdu.h"
#include "fuzz_check.h"
#include "monitor/frame_cutter.h"
#include "monitor/frame_pairing.h"

using namespace tallowick;

namespace {

struct Checker
{
    FramePairing pairing{std::chrono::milliseconds(50)};
    QByteArray seen;
    std::optional<qint64> lastEndUs;
    quint64 number = 0;

    void check(const std::vector<CutFrame> &frames)
    {
        for (const CutFrame &frame : frames) {
            FUZZ_CHECK(!frame.bytes.isEmpty());
            FUZZ_CHECK(frame.bytes.size() <= FrameCutter::longestRun);
            FUZZ_CHECK(frame.firstByteUs <= frame.endUs);
            FUZZ_CHECK(frame.gapUs.has_value() == lastEndUs.has_value());
            if (frame.gapUs)
                FUZZ_CHECK(*frame.gapUs >= 0);
            if (frame.split || frame.joined)
                FUZZ_CHECK(endsInGoodCrc(frame.bytes) && lengthFitsFunction(frame.bytes));
            FUZZ_CHECK(!(frame.split && frame.joined));
            lastEndUs = frame.endUs;
            seen += frame.bytes;
            pairing.expire(frame.firstByteUs);
            const Judgement j =
                pairing.judge(++number, frame.bytes, frame.firstByteUs, frame.endUs);
            if (j.replyTo) {
                FUZZ_CHECK(j.role == FrameRole::Reply);
                FUZZ_CHECK(*j.replyTo < number);
                FUZZ_CHECK(*j.responseUs >= 0 && *j.responseUs <= 50'000);
            }
            const PairingCounts &c = pairing.counts();
            FUZZ_CHECK(c.replies + c.requests <= number);
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The character time from 1 to 256 us, the gap from 1 to 8 ms.
    LineTiming timing;
    timing.character = std::chrono::microseconds(1 + data[0]);
    timing.t35 = std::chrono::microseconds(1000 + 28 * data[1]);
    timing.t15 = timing.t35 * 3 / 7;
    FrameCutter cutter(timing);
    Checker checker;
    QByteArray fed;
    qint64 now = 1'000'000;
    // Steps: a length byte (its low 5 bits; 0 is a silence), two bytes of
    // time to the step in microseconds, then the bytes of the read.
    for (size_t at = 2; at + 3 <= size;) {
        const size_t length = data[at] & 0x1F;
        now += data[at + 1] | data[at + 2] << 8;
        at += 3;
        if (length == 0) {
            checker.check(cutter.silence(now));
            if (const auto deadline = cutter.deadline())
                FUZZ_CHECK(*deadline > now);
            continue;
        }
        const size_t take = std::min(length, size - at);
        const QByteArrayView read(reinterpret_cast<const char *>(data + at), qsizetype(take));
        fed += read.toByteArray();
        checker.check(cutter.feed(read, now));
        at += take;
    }
    checker.check(cutter.flush());
    FUZZ_CHECK(!cutter.deadline());
    FUZZ_CHECK(checker.seen == fed);
    checker.pairing.expire(now + 1'000'000);
    FUZZ_CHECK(!checker.pairing.deadline());
    return 0;
}
