// The device's map: a file of 10,000 rows, of every type and byte order,
// read and checked as tallowick-device reads its MAP.csv, against the least
// any reader of that file does: reading it and cutting it into lines and
// fields.
#include "bench_scenarios.h"

#include "device/map_file.h"

#include <QFile>
#include <QTemporaryDir>

namespace tallowick::bench {

namespace {

// Rows of holding and input registers, one after another, with names and
// quoted text among them, as a spreadsheet would export a device's table.
QByteArray tenThousandRows()
{
    struct Kind
    {
        const char *type;
        int width;
        const char *value;
        const char *order;
    };
    static constexpr Kind kinds[] = {
        {"u16", 1, "0x1234", ""},        {"i16", 1, "-2", ""},
        {"u32", 2, "305419896", "CDAB"}, {"f32", 2, "1.5", "BADC"},
        {"f64", 4, "-1e300", "DCBA"},    {"i64", 4, "-9223372036854775808", "ABCD"},
        {"str:4", 4, "\"pump, 1\"", ""}};
    QByteArray csv = "table,address,type,value,order,access,name\r\n";
    int address = 0;
    const char *table = "holding";
    for (int i = 0; i < 10'000; ++i) {
        const Kind &kind = kinds[i % std::size(kinds)];
        if (address + kind.width > 65536) {
            address = 0;
            table = "input";
        }
        csv += QByteArray(table) + ',' + QByteArray::number(address) + ',' + kind.type + ',' +
               kind.value + ',' + kind.order + (i % 3 == 0 ? ",r" : ",rw") + ",\"tag " +
               QByteArray::number(i) + "\"\r\n";
        address += kind.width;
    }
    return csv;
}

} // namespace

std::vector<Row> deviceMapLoad(const Plan &plan)
{
    const QString scenario = QStringLiteral("Device map: 10,000 rows read from a file");
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("map.csv"));
    QFile file(path);
    const QByteArray csv = tenThousandRows();
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size())
        return {setupFailed(scenario, QStringLiteral("the map file could not be written"))};
    file.close();

    std::vector<double> loadMs;
    std::vector<double> splitMs;
    int defined = 0;
    for (int i = 0; i < plan.deviceMapLoads; ++i) {
        qint64 start = monotonicNs();
        const MapRead read = readMap(path);
        loadMs.push_back(double(monotonicNs() - start) / 1e6);
        if (const auto *error = std::get_if<MapError>(&read))
            return {setupFailed(scenario, error->text)};
        defined = int(std::get<DeviceMap>(read).rows().size());

        start = monotonicNs();
        QFile again(path);
        qsizetype fields = 0;
        if (again.open(QIODevice::ReadOnly)) {
            for (const QByteArray &line : again.readAll().split('\n'))
                fields += line.split(',').size();
        }
        splitMs.push_back(double(monotonicNs() - start) / 1e6);
        if (fields == 0)
            return {setupFailed(scenario, QStringLiteral("the map file could not be read"))};
    }
    const Stats load = statsOf(loadMs);
    const Stats split = statsOf(splitMs);
    return {{scenario, formatStats(load, QStringLiteral("ms"), 2),
             formatStats(split, QStringLiteral("ms (read, cut into lines and fields)"), 2),
             QString::number(split.median > 0 ? load.median / split.median : 0, 'f', 1),
             QStringLiteral("median <= 50 ms"), load.count > 0 && load.median <= 50,
             QStringLiteral("%1 rows taken, %2 KiB, %3 reads")
                 .arg(defined)
                 .arg(csv.size() / 1024)
                 .arg(load.count)}};
}

} // namespace tallowick::bench
