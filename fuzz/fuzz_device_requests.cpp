// What the device makes of any bytes on each of its links. The first byte
// picks the link (bits 0-1), whether rules apply (bit 2) and where a TCP
// stream is cut into deliveries (its value); the rest is what came.
// Properties: a stream loses and invents no byte (the requests taken and what
// is held are the input); a reply goes out exactly when a request is
// answered; without rules an RTU reply carries its request's unit and a good
// CRC, a Modbus TCP reply its request's transaction and protocol ids and a
// length that counts what follows it, and either answers the function asked.
#include "device/device_core.h"
#include "device/map_file.h"
#include "device/request_stream.h"
#include "frames/crc.h"
#include "frames/mbap.h"
#include "frames/modbus_pdu.h"
#include "fuzz_check.h"

using namespace tallowick;

namespace {

DeviceCore makeDevice(bool withRules)
{
    const QByteArray csv = "table,address,type,value,access\n"
                           "coil,0-99,bit,1\n"
                           "holding,0-99,u16,0x1234\nholding,100-109,u16,7,r\n";
    std::vector<FaultRule> rules;
    if (withRules) {
        for (const char *text : {"exception=04@fc=03,every=3", "silent@every=5", "close@every=7",
                                 "truncate=3@every=4", "crc@unit=2", "gap=1:2@p=0.5"})
            rules.push_back(std::get<FaultRule>(parseFaultRule(QString::fromLatin1(text))));
    }
    DeviceCore::Setup setup;
    setup.units = {{1, 2}};
    return DeviceCore(std::get<DeviceMap>(parseMap(csv, QStringLiteral("fuzz.csv"))), setup,
                      FaultRules(std::move(rules), 1));
}

void check(const ServedRequest &served, LinkKind kind, bool withRules)
{
    const bool answered = served.result == Result::Answered || served.result == Result::Exception;
    FUZZ_CHECK(served.plan.reply.has_value() == answered);
    if (!answered || withRules)
        return;
    const QByteArray &reply = *served.plan.reply;
    const QByteArray &request = served.request;
    const bool mbap = kind == LinkKind::Mbap;
    const qsizetype functionAt = mbap ? mbapHeaderSize : 1;
    FUZZ_CHECK(reply.size() > functionAt);
    // An exception sets bit 7 of the function asked (a code that has it
    // already is an unknown function, its exception the same code).
    const quint8 asked = quint8(request[functionAt]);
    FUZZ_CHECK(quint8(reply[functionAt]) ==
               (served.result == Result::Exception ? asked | 0x80 : asked));
    FUZZ_CHECK(served.result == Result::Exception || asked < 0x80);
    if (mbap) {
        FUZZ_CHECK(reply.first(4) == request.first(4));
        FUZZ_CHECK(bigEndian16(reply, 4) == reply.size() - mbapLengthEnd);
        FUZZ_CHECK(reply[6] == request[6]);
    } else {
        FUZZ_CHECK(reply[0] == request[0]);
        FUZZ_CHECK(endsInGoodCrc(reply));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const quint8 choice = data[0];
    const QByteArray input = fuzz::bytes(data + 1, size - 1);
    const bool withRules = (choice & 4) != 0;
    static DeviceCore plain = makeDevice(false);
    static DeviceCore ruled = makeDevice(true);
    DeviceCore &device = withRules ? ruled : plain;
    const qsizetype piece = std::max(1, choice >> 3);
    switch (choice & 3) {
    case 0:
        check(device.serve(LinkKind::Serial, input), LinkKind::Serial, withRules);
        break;
    case 1: {
        RtuRequestStream stream;
        QByteArray taken;
        for (qsizetype at = 0; at < input.size(); at += piece) {
            stream.feed(QByteArrayView(input).sliced(at, std::min(piece, input.size() - at)));
            while (const auto request = stream.take()) {
                FUZZ_CHECK(!request->isEmpty());
                taken += *request;
                check(device.serve(LinkKind::RtuOverTcp, *request), LinkKind::RtuOverTcp,
                      withRules);
            }
        }
        FUZZ_CHECK(taken + stream.held() == input);
        break;
    }
    default: {
        MbapReader reader;
        for (qsizetype at = 0; at < input.size(); at += piece) {
            reader.feed(QByteArrayView(input).sliced(at, std::min(piece, input.size() - at)));
            for (;;) {
                MbapRead read = reader.take();
                const auto *frame = std::get_if<MbapFrame>(&read);
                if (!frame)
                    break;
                check(device.serve(LinkKind::Mbap, frame->adu), LinkKind::Mbap, withRules);
            }
        }
        break;
    }
    }
    return 0;
}
