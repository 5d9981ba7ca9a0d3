#include "device/map_file.h"

#include "device/csv_reader.h"
#include "device/text_forms.h"
#include "frames/modbus_pdu.h"

#include <QFile>
#include <algorithm>
#include <array>

namespace tallowick {

namespace {

enum Column {
    TableColumn,
    AddressColumn,
    TypeColumn,
    ValueColumn,
    OrderColumn,
    AccessColumn,
    NameColumn,
    ColumnCount
};

constexpr std::array<const char *, ColumnCount> columnNames{"table", "address", "type", "value",
                                                            "order", "access",  "name"};
constexpr int requiredColumns = OrderColumn;

QString columnList()
{
    return QStringLiteral("table, address, type, value and optional order, access, name");
}

// A refusal of one field of one line, before the file's name is put in front.
struct FieldError
{
    int line = 0;
    QString field;
    QString reason;
};

using Columns = std::array<int, ColumnCount>; // the field of each column, -1 when absent

std::variant<Columns, FieldError> readHeader(const CsvRecord &header)
{
    Columns columns;
    columns.fill(-1);
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString name = header.fields[i].trimmed();
        const auto found = nameIndex(name, columnNames);
        if (!found)
            return FieldError{
                header.line, QStringLiteral("header"),
                QStringLiteral("\"%1\" is not a column (%2)").arg(name, columnList())};
        if (columns[*found] >= 0)
            return FieldError{header.line, QStringLiteral("header"),
                              QStringLiteral("\"%1\" twice").arg(name)};
        columns[*found] = i;
    }
    for (int c = 0; c < requiredColumns; ++c) {
        if (columns[c] < 0)
            return FieldError{header.line, QStringLiteral("header"),
                              QStringLiteral("no \"%1\" column (the columns are %2)")
                                  .arg(QLatin1StringView(columnNames[c]), columnList())};
    }
    return columns;
}

std::optional<int> placeNumber(QStringView text)
{
    const auto n = decimalNumber(text, DeviceMap::places - 1);
    if (!n)
        return std::nullopt;
    return int(*n);
}

class RowReader
{
public:
    RowReader(const CsvRecord &record, const Columns &columns)
        : m_record(record), m_columns(columns)
    {
    }

    // The row and its places' content, or why not.
    std::variant<FieldError, std::pair<MapRow, std::vector<quint16>>> read() const;

private:
    QString field(Column column) const
    {
        const int index = m_columns[column];
        return index >= 0 && index < m_record.fields.size() ? m_record.fields[index] : QString();
    }
    FieldError error(Column column, const QString &reason) const
    {
        return FieldError{m_record.line, QLatin1StringView(columnNames[column]).toString(), reason};
    }

    const CsvRecord &m_record;
    const Columns &m_columns;
};

std::variant<FieldError, std::pair<MapRow, std::vector<quint16>>> RowReader::read() const
{
    MapRow row;
    row.line = m_record.line;

    const QString tableText = field(TableColumn).trimmed();
    const auto table = parseTable(tableText);
    if (!table)
        return error(TableColumn, QStringLiteral("\"%1\" is not a table (coil, discrete, "
                                                 "holding, input)")
                                      .arg(tableText));
    row.table = *table;

    const QString typeText = field(TypeColumn).trimmed();
    const auto type = parseType(typeText);
    if (!type)
        return error(TypeColumn,
                     QStringLiteral("\"%1\" is not a type (%2)").arg(typeText, typeNames()));
    row.type = *type;
    if (holdsBits(row.table) != (type->type == ValueType::Bit))
        return error(
            TypeColumn,
            holdsBits(row.table)
                ? QStringLiteral("%1 holds bits: the type is bit").arg(tableName(row.table))
                : QStringLiteral("bit is for coil and discrete, not %1").arg(tableName(row.table)));

    const QString addressText = field(AddressColumn).trimmed();
    const qsizetype dash = addressText.indexOf(u'-');
    const auto first =
        placeNumber(dash < 0 ? QStringView(addressText) : QStringView(addressText).first(dash));
    const auto given = dash < 0 ? first : placeNumber(QStringView(addressText).sliced(dash + 1));
    if (!first || !given)
        return error(AddressColumn, QStringLiteral("\"%1\" is not an address (0 to 65535) or a "
                                                   "range of them (100-109)")
                                        .arg(addressText));
    if (*given < *first)
        return error(AddressColumn,
                     QStringLiteral("\"%1\" ends before it begins").arg(addressText));
    const int width = type->registers;
    // One address is one value, as wide as its type.
    const int last = dash < 0 ? *first + width - 1 : *given;
    if (last >= DeviceMap::places)
        return error(AddressColumn,
                     QStringLiteral("%1 at %2 runs past 65535").arg(typeName(*type), addressText));
    const int count = last - *first + 1;
    if (count % width != 0)
        return error(AddressColumn,
                     QStringLiteral("%1 is %2 places, not a whole number of %3 (%4 each)")
                         .arg(addressText)
                         .arg(count)
                         .arg(typeName(*type))
                         .arg(width));
    row.first = quint16(*first);
    row.last = quint16(last);

    const QString orderText = field(OrderColumn).trimmed();
    if (!orderText.isEmpty()) {
        const auto order = parseOrder(orderText);
        if (!order)
            return error(OrderColumn, QStringLiteral("\"%1\" is not an order (ABCD, CDAB, BADC, "
                                                     "DCBA)")
                                          .arg(orderText));
        if (*order != ByteOrder::ABCD && !isNumber(type->type))
            return error(
                OrderColumn,
                QStringLiteral("%1 is for number types, not %2").arg(orderText, typeName(*type)));
        row.order = *order;
    }

    const QString accessText = field(AccessColumn).trimmed();
    if (accessText.compare(u"r", Qt::CaseInsensitive) == 0)
        row.writable = false;
    else if (!accessText.isEmpty() && accessText.compare(u"rw", Qt::CaseInsensitive) != 0)
        return error(AccessColumn,
                     QStringLiteral("\"%1\" is not an access (r, rw)").arg(accessText));

    row.name = field(NameColumn).trimmed();

    const QString valueText =
        type->type == ValueType::Str ? field(ValueColumn) : field(ValueColumn).trimmed();
    auto bytes = valueBytes(valueText, *type);
    if (const auto *reason = std::get_if<QString>(&bytes))
        return error(ValueColumn, *reason);
    const QByteArray ordered = reordered(std::get<QByteArray>(bytes), row.order);
    std::vector<quint16> one;
    if (type->type == ValueType::Bit) {
        one.push_back(quint16(ordered[0]));
    } else {
        for (qsizetype i = 0; i < ordered.size(); i += 2)
            one.push_back(bigEndian16(ordered, i));
    }
    std::vector<quint16> content;
    content.reserve(std::size_t(count));
    for (int i = 0; i < count / width; ++i)
        content.insert(content.end(), one.begin(), one.end());
    return std::pair{row, std::move(content)};
}

QString located(const QString &fileName, const FieldError &error)
{
    return QStringLiteral("%1:%2: %3: %4")
        .arg(fileName)
        .arg(error.line)
        .arg(error.field, error.reason);
}

// The bytes, high first, of the value at `address` of a row.
QByteArray valueAt(const DeviceMap &map, const MapRow &row, int address)
{
    if (row.type.type == ValueType::Bit)
        return QByteArray(1, char(map.value(row.table, quint16(address)) != 0));
    QByteArray bytes;
    for (int a = address; a < address + row.type.registers; ++a) {
        const quint16 word = map.value(row.table, quint16(a));
        bytes += char(word >> 8);
        bytes += char(word & 0xFF);
    }
    return reordered(bytes, row.order);
}

} // namespace

MapRead parseMap(QByteArrayView bytes, const QString &fileName)
{
    auto csv = readCsv(bytes);
    if (const auto *bad = std::get_if<CsvError>(&csv))
        return MapError{QStringLiteral("%1:%2: %3").arg(fileName).arg(bad->line).arg(bad->reason)};
    const auto &records = std::get<std::vector<CsvRecord>>(csv);
    if (records.empty())
        return MapError{QStringLiteral("%1: no header row (%2)").arg(fileName, columnList())};
    const auto header = readHeader(records.front());
    if (const auto *bad = std::get_if<FieldError>(&header))
        return MapError{located(fileName, *bad)};
    const Columns &columns = std::get<Columns>(header);
    const int headerFields = int(records.front().fields.size());

    DeviceMap map;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const CsvRecord &record = records[i];
        // Spreadsheets write the empty rows below a table as commas alone.
        if (std::all_of(record.fields.begin(), record.fields.end(),
                        [](const QString &field) { return field.trimmed().isEmpty(); }))
            continue;
        for (qsizetype f = headerFields; f < record.fields.size(); ++f) {
            if (!record.fields[f].trimmed().isEmpty())
                return MapError{QStringLiteral("%1:%2: %3 fields, where the header has %4")
                                    .arg(fileName)
                                    .arg(record.line)
                                    .arg(record.fields.size())
                                    .arg(headerFields)};
        }
        const auto read = RowReader(record, columns).read();
        if (const auto *bad = std::get_if<FieldError>(&read))
            return MapError{located(fileName, *bad)};
        const auto &[row, content] = std::get<std::pair<MapRow, std::vector<quint16>>>(read);
        if (const auto taken = map.add(row, content)) {
            const MapRow &owner = map.rows()[std::size_t(*map.rowAt(row.table, *taken))];
            return MapError{located(fileName, {record.line, QStringLiteral("address"),
                                               QStringLiteral("%1 %2 is already defined on line %3")
                                                   .arg(tableName(row.table))
                                                   .arg(*taken)
                                                   .arg(owner.line)})};
        }
    }
    return map;
}

MapRead readMap(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return MapError{QStringLiteral("%1: %2").arg(path, file.errorString())};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return MapError{QStringLiteral("%1: %2").arg(path, file.errorString())};
    return parseMap(bytes, path);
}

QByteArray mapCsv(const DeviceMap &map)
{
    QString text = QStringLiteral("table,address,type,value,order,access,name\r\n");
    for (const MapRow &row : map.rows()) {
        const int width = row.type.registers;
        const int count = row.last - row.first + 1;
        bool same = true;
        const QByteArray first = valueAt(map, row, row.first);
        for (int a = row.first + width; a <= row.last && same; a += width)
            same = valueAt(map, row, a) == first;
        const QString rest =
            QStringLiteral(",%1,%2,%3\r\n")
                .arg(isNumber(row.type.type) ? orderName(row.order) : QString(),
                     row.writable ? QStringLiteral("rw") : QStringLiteral("r"), csvField(row.name));
        const auto write = [&](int from, int to, const QByteArray &bytes) {
            text += tableName(row.table) + u',' + QString::number(from);
            if (to != from + width - 1)
                text += u'-' + QString::number(to);
            text += u',' + typeName(row.type) + u',' + csvField(valueText(bytes, row.type)) + rest;
        };
        if (same) {
            write(row.first, row.last, first);
            continue;
        }
        for (int a = row.first; a < row.first + count; a += width)
            write(a, a + width - 1, valueAt(map, row, a));
    }
    return text.toUtf8();
}

std::optional<FileError> saveMap(const QString &path, const DeviceMap &map)
{
    return saveAtomically(path, {mapCsv(map)});
}

} // namespace tallowick
