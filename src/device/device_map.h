#pragma once

// The data a device answers from: four tables of 65536 places, each place
// either defined by a row of the map (and then holding a bit or a register)
// or not (and then read and written as an illegal data address).

#include "device/value_encoding.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

namespace tallowick {

enum class Table : quint8 { Coil, Discrete, Holding, Input };

std::optional<Table> parseTable(QStringView text);
QString tableName(Table table);
// Coils and discrete inputs hold bits, the others registers.
bool holdsBits(Table table);

// One row of the map as it was given: its places run from first to last,
// a whole number of values of its type.
struct MapRow
{
    Table table = Table::Holding;
    quint16 first = 0;
    quint16 last = 0;
    ValueKind type;
    ByteOrder order = ByteOrder::ABCD;
    bool writable = true;
    QString name;
    int line = 0; // in the file it came from; 0 for a row made otherwise
};

class DeviceMap
{
public:
    static constexpr int places = 65536;

    // Adds a row holding `content` (one value a place: 0 or 1 for a bit, a
    // register otherwise, last - first + 1 of them). Nothing when every place
    // was free; otherwise the first place already taken and nothing changed.
    std::optional<quint16> add(const MapRow &row, const std::vector<quint16> &content);

    const std::vector<MapRow> &rows() const { return m_rows; }
    // The row a place belongs to, or nothing where the map defines none.
    std::optional<int> rowAt(Table table, quint16 address) const;

    // Whether every place of first..first+count-1 is defined (and, for
    // writable(), may be written); false as well when the span runs past 65535.
    bool defined(Table table, int first, int count) const;
    bool writable(Table table, int first, int count) const;

    // A bit is 0 or 1 here. Places not defined read 0; a value set there is
    // kept only in a table with a row somewhere.
    quint16 value(Table table, quint16 address) const;
    void setValue(Table table, quint16 address, quint16 value);

private:
    // Empty until the table's first row: a map of holding registers alone
    // (or none, for a device without a map) does not fill the other tables.
    struct Places
    {
        std::vector<quint16> values;
        std::vector<qint32> rowOf; // -1 where no row defines the place
    };
    template <typename Check> bool all(Table table, int first, int count, Check check) const;

    std::array<Places, 4> m_tables;
    std::vector<MapRow> m_rows;
};

} // namespace tallowick
