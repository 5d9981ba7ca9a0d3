// The device map's reader on any file bytes: a refusal names the file and a
// line, and a map it takes is saved as text that reads back as the same map
// and saves as the same text again.
#include "device/map_file.h"
#include "fuzz_check.h"

using namespace tallowick;

namespace {

const QString fileName = QStringLiteral("fuzz.csv");

void sameValues(const DeviceMap &map, const DeviceMap &again)
{
    for (const MapRow &row : map.rows()) {
        for (int a = row.first; a <= row.last; ++a) {
            const auto address = quint16(a);
            FUZZ_CHECK(again.rowAt(row.table, address).has_value());
            FUZZ_CHECK(map.value(row.table, address) == again.value(row.table, address));
            const MapRow &other = again.rows()[std::size_t(*again.rowAt(row.table, address))];
            FUZZ_CHECK(other.writable == row.writable && other.name == row.name &&
                       other.type == row.type);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const MapRead read = parseMap(fuzz::bytes(data, size), fileName);
    if (const auto *error = std::get_if<MapError>(&read)) {
        FUZZ_CHECK(error->text.startsWith(fileName + u':'));
        return 0;
    }
    const DeviceMap &map = std::get<DeviceMap>(read);
    for (const MapRow &row : map.rows()) {
        FUZZ_CHECK(row.first <= row.last && row.line >= 2);
        FUZZ_CHECK((row.last - row.first + 1) % row.type.registers == 0);
        FUZZ_CHECK(holdsBits(row.table) == (row.type.type == ValueType::Bit));
    }
    const QByteArray saved = mapCsv(map);
    const MapRead again = parseMap(saved, fileName);
    FUZZ_CHECK(std::holds_alternative<DeviceMap>(again));
    sameValues(map, std::get<DeviceMap>(again));
    FUZZ_CHECK(mapCsv(std::get<DeviceMap>(again)) == saved);
    return 0;
}
