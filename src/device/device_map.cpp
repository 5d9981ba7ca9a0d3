#include "device/device_map.h"

#include "device/text_forms.h"

namespace tallowick {

namespace {

constexpr std::array<const char *, 4> tableNames{"coil", "discrete", "holding", "input"};

} // namespace

std::optional<Table> parseTable(QStringView text)
{
    if (const auto index = nameIndex(text, tableNames))
        return Table(*index);
    return std::nullopt;
}

QString tableName(Table table)
{
    return QLatin1StringView(tableNames[std::size_t(table)]).toString();
}

bool holdsBits(Table table)
{
    return table == Table::Coil || table == Table::Discrete;
}

std::optional<quint16> DeviceMap::add(const MapRow &row, const std::vector<quint16> &content)
{
    Places &table = m_tables[std::size_t(row.table)];
    if (table.rowOf.empty()) {
        table.values.assign(places, 0);
        table.rowOf.assign(places, -1);
    }
    for (int a = row.first; a <= row.last; ++a) {
        if (table.rowOf[a] >= 0)
            return quint16(a);
    }
    const auto index = qint32(m_rows.size());
    m_rows.push_back(row);
    for (int a = row.first; a <= row.last; ++a) {
        table.rowOf[a] = index;
        table.values[a] = content[std::size_t(a - row.first)];
    }
    return std::nullopt;
}

std::optional<int> DeviceMap::rowAt(Table table, quint16 address) const
{
    const std::vector<qint32> &rowOf = m_tables[std::size_t(table)].rowOf;
    const qint32 row = rowOf.empty() ? -1 : rowOf[address];
    if (row < 0)
        return std::nullopt;
    return row;
}

template <typename Check> bool DeviceMap::all(Table table, int first, int count, Check check) const
{
    const std::vector<qint32> &rowOf = m_tables[std::size_t(table)].rowOf;
    if (first < 0 || count < 0 || first + count > places || (rowOf.empty() && count > 0))
        return false;
    for (int a = first; a < first + count; ++a) {
        if (rowOf[a] < 0 || !check(m_rows[std::size_t(rowOf[a])]))
            return false;
    }
    return true;
}

bool DeviceMap::defined(Table table, int first, int count) const
{
    return all(table, first, count, [](const MapRow &) { return true; });
}

bool DeviceMap::writable(Table table, int first, int count) const
{
    return all(table, first, count, [](const MapRow &row) { return row.writable; });
}

quint16 DeviceMap::value(Table table, quint16 address) const
{
    const std::vector<quint16> &values = m_tables[std::size_t(table)].values;
    return values.empty() ? 0 : values[address];
}

void DeviceMap::setValue(Table table, quint16 address, quint16 value)
{
    std::vector<quint16> &values = m_tables[std::size_t(table)].values;
    if (!values.empty())
        values[address] = value;
}

} // namespace tallowick
