// The device's answers to any request PDU: a malformed one is refused without
// touching the map; any other gets one reply of its function, the exception
// bit set or not, no longer than a PDU may be, and a refused one changes
// nothing. The map has places of every table, some read only.
#include "device/answers.h"
#include "device/map_file.h"
#include "fuzz_check.h"

using namespace tallowick;

namespace {

DeviceMap makeMap()
{
    const QByteArray csv =
        "table,address,type,value,access\n"
        "coil,0-99,bit,1\ncoil,100-199,bit,0,r\n"
        "discrete,0-2047,bit,1\n"
        "holding,0-99,u16,0x1234\nholding,100-199,u16,7,r\nholding,65500-65535,u16,1\n"
        "input,0-199,f32,1.5\n";
    return std::move(std::get<DeviceMap>(parseMap(csv, QStringLiteral("fuzz.csv"))));
}

// Whether every defined place holds what it held; `restore` puts it back.
bool unchanged(DeviceMap &map, const DeviceMap &pristine, bool restore)
{
    bool same = true;
    for (const MapRow &row : pristine.rows()) {
        for (int a = row.first; a <= row.last; ++a) {
            const quint16 was = pristine.value(row.table, quint16(a));
            same = same && map.value(row.table, quint16(a)) == was;
            if (restore)
                map.setValue(row.table, quint16(a), was);
        }
    }
    return same;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One map for every input, put back after each: copying its tables took
    // most of an execution.
    static const DeviceMap pristine = makeMap();
    static DeviceMap map = pristine;
    const QByteArray pdu = fuzz::bytes(data, size);
    const Answer answer = tallowick::answer(map, pdu);
    const bool refused = std::holds_alternative<MalformedRequest>(answer) ||
                         (quint8(std::get<QByteArray>(answer)[0]) & 0x80) != 0;
    FUZZ_CHECK(unchanged(map, pristine, true) || !refused);
    if (std::holds_alternative<MalformedRequest>(answer))
        return 0;
    const QByteArray &reply = std::get<QByteArray>(answer);
    FUZZ_CHECK(!pdu.isEmpty() && reply.size() >= 2 && reply.size() <= 253);
    FUZZ_CHECK((quint8(reply[0]) | 0x80) == (quint8(pdu[0]) | 0x80));
    if (refused)
        FUZZ_CHECK(reply.size() == 2 && reply[1] >= 1 && reply[1] <= 3);
    return 0;
}
