// The device map's file: spreadsheets' CSV read into the four tables, every
// refused row named by its file, line and field, and the save that writes the
// values masters wrote back in the same format.
#include "device/map_file.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tallowick;

namespace {

// The places first..first+count-1 of a table as hexadecimal registers (bits
// as 0 and 1), "-" for a place the map does not define.
QString places(const DeviceMap &map, Table table, int first, int count)
{
    QStringList text;
    for (int a = first; a < first + count; ++a) {
        if (!map.rowAt(table, quint16(a)))
            text << QStringLiteral("-");
        else if (holdsBits(table))
            text << QString::number(map.value(table, quint16(a)));
        else
            text << QStringLiteral("%1").arg(map.value(table, quint16(a)), 4, 16, QLatin1Char('0'));
    }
    return text.join(u' ');
}

QString refusal(const QByteArray &csv)
{
    const MapRead read = parseMap(csv, QStringLiteral("pump.csv"));
    const auto *error = std::get_if<MapError>(&read);
    return error ? error->text : QStringLiteral("accepted");
}

} // namespace

class TestMapFile : public QObject
{
    Q_OBJECT
private slots:
    void reads_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("first");
        QTest::addColumn<QString>("places");
        const QByteArray header = "table,address,type,value\n";
        const auto row = [](const char *name, const QByteArray &csv, Table table, int first,
                            const char *places) {
            QTest::newRow(name) << csv << int(table) << first << QString::fromUtf8(places);
        };
        row("one register", header + "holding,7,u16,0x1234\n", Table::Holding, 6, "- 1234 -");
        row("range each the same", header + "input,10-12,i16,-2\n", Table::Input, 10,
            "fffe fffe fffe -");
        row("range of floats", header + "holding,100-103,f32,1.5\n", Table::Holding, 100,
            "3fc0 0000 3fc0 0000 -");
        row("one address, a wide type", header + "holding,0,u64,1\n", Table::Holding, 0,
            "0000 0000 0000 0001 -");
        row("bits", header + "coil,0-2,bit,1\ndiscrete,0,bit,1\n", Table::Coil, 0, "1 1 1 -");
        row("columns in any order and case, order and access",
            QByteArray(
                "Name,ORDER,Value,Type,Address,Table,access\nflow,CDAB,1.5,f32,4,holding,r\n"),
            Table::Holding, 4, "0000 3fc0 -");
        row("byte order mark, CRLF, blank lines, blanks around fields",
            QByteArray(
                "\xEF\xBB\xBFtable,address,type,value\r\n\r\n holding , 1 , u16 , 5 \r\n\r\n"),
            Table::Holding, 1, "0005 -");
        row("quoted fields, commas and quotes in them",
            QByteArray("table,address,type,value,name\n\"holding\",2,str:3,\"a,\"\"b\",\"pump, "
                       "\"\"main\"\"\"\n"),
            Table::Holding, 2, "612c 2262 0000 -");
        row("a line break inside quotes",
            QByteArray("table,address,type,value,name\nholding,0,u16,1,\"two\nlines\"\nholding,"
                       "1,u16,2\n"),
            Table::Holding, 0, "0001 0002 -");
        row("fewer fields than the header, trailing empty ones",
            QByteArray("table,address,type,value,order,access,name\nholding,0,u16,9\nholding,1,"
                       "u16,8,,,,\n,,,,\n"),
            Table::Holding, 0, "0009 0008 -");
        row("the last place", header + "input,65534-65535,u16,3", Table::Input, 65533,
            "- 0003 0003");
    }
    void reads()
    {
        QFETCH(QByteArray, csv);
        QFETCH(int, table);
        QFETCH(int, first);
        QFETCH(QString, places);
        const MapRead read = parseMap(csv, QStringLiteral("map.csv"));
        if (const auto *error = std::get_if<MapError>(&read))
            QFAIL(qPrintable(error->text));
        const DeviceMap &map = std::get<DeviceMap>(read);
        QCOMPARE(::places(map, Table(table), first, int(places.count(u' ') + 1)), places);
    }

    void rowsKeepTheirLabels()
    {
        const MapRead read =
            parseMap("table,address,type,value,access,name\n\ncoil,5,bit,0,R,\"valve, main\"\n",
                     QStringLiteral("map.csv"));
        const MapRow &row = std::get<DeviceMap>(read).rows().at(0);
        QCOMPARE(row.line, 3);
        QCOMPARE(row.name, QStringLiteral("valve, main"));
        QVERIFY(!row.writable);
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("refusal");
        const QByteArray header = "table,address,type,value\n";
        const auto row = [](const char *name, const QByteArray &csv, const char *refusal) {
            QTest::newRow(name) << csv << QString::fromUtf8(refusal);
        };
        row("empty file", "\xEF\xBB\xBF\r\n",
            "pump.csv: no header row (table, address, type, value and optional order, access, "
            "name)");
        row("unknown column", "table,address,type,value,acess\n",
            "pump.csv:1: header: \"acess\" is not a column (table, address, type, value and "
            "optional order, access, name)");
        row("column twice", "table,address,type,value,Value\n",
            "pump.csv:1: header: \"Value\" twice");
        row("column missing", "table,address,value\n",
            "pump.csv:1: header: no \"type\" column (the columns are table, address, type, value "
            "and optional order, access, name)");
        row("not a type", header + "holding,0,u16,1\n\n\n\nholding,1,u16,1\nholding,2,f16,1\n",
            "pump.csv:7: type: \"f16\" is not a type (bit, u16, i16, u32, i32, f32, u64, i64, f64, "
            "str:N)");
        row("not a table", header + "holdings,0,u16,1\n",
            "pump.csv:2: table: \"holdings\" is not a table (coil, discrete, holding, input)");
        row("register type in coils", header + "coil,0,u16,1\n",
            "pump.csv:2: type: coil holds bits: the type is bit");
        row("bit in registers", header + "input,0,bit,1\n",
            "pump.csv:2: type: bit is for coil and discrete, not input");
        row("address too big", header + "holding,65536,u16,1\n",
            "pump.csv:2: address: \"65536\" is not an address (0 to 65535) or a range of them "
            "(100-109)");
        row("range backwards", header + "holding,109-100,u16,1\n",
            "pump.csv:2: address: \"109-100\" ends before it begins");
        row("range not whole values", header + "holding,100-106,f32,1\n",
            "pump.csv:2: address: 100-106 is 7 places, not a whole number of f32 (2 each)");
        row("wide value past the end", header + "holding,65534,u64,1\n",
            "pump.csv:2: address: u64 at 65534 runs past 65535");
        row("overlap", header + "holding,100-109,u16,1\nholding,108-111,u32,2\n",
            "pump.csv:3: address: holding 108 is already defined on line 2");
        row("overlap by width", header + "holding,10,u16,1\nholding,9,f32,2\n",
            "pump.csv:3: address: holding 10 is already defined on line 2");
        row("value out of range", header + "holding,0,u16,70000\n",
            "pump.csv:2: value: \"70000\" is out of range for u16 (0 to 65535)");
        row("value missing", header + "holding,0,u16\n",
            "pump.csv:2: value: empty, and u16 needs a value");
        row("not an order", "table,address,type,value,order\nholding,0,u32,1,ABDC\n",
            "pump.csv:2: order: \"ABDC\" is not an order (ABCD, CDAB, BADC, DCBA)");
        row("order of a string", "table,address,type,value,order\nholding,0,str:2,ab,CDAB\n",
            "pump.csv:2: order: CDAB is for number types, not str:2");
        row("not an access", "table,address,type,value,access\nholding,0,u16,1,w\n",
            "pump.csv:2: access: \"w\" is not an access (r, rw)");
        row("more fields than the header", header + "holding,0,u16,1,x\n",
            "pump.csv:2: 5 fields, where the header has 4");
        row("quote never closes", header + "holding,0,str:4,\"abc\n\n",
            "pump.csv:2: a quote that never closes");
        row("text after a quote", header + "holding,0,str:4,\"ab\"c\n",
            "pump.csv:2: text after a closing quote");
    }
    void refusals()
    {
        QFETCH(QByteArray, csv);
        QFETCH(QString, refusal);
        QCOMPARE(::refusal(csv), refusal);
    }

    // The save writes what masters wrote: a row whose values now differ is
    // split a value a row, labels and access kept, and reads back as itself.
    void saveWritesTheValuesNow()
    {
        const QByteArray csv = "table,address,type,value,order,access,name\n"
                               "holding,100-103,f32,1.5,CDAB,rw,\"flow, in\"\n"
                               "holding,0-2,u16,7,,r,\n"
                               "coil,3,bit,1\n"
                               "input,9,str:2,\"a,b\"\n";
        MapRead read = parseMap(csv, QStringLiteral("map.csv"));
        auto &map = std::get<DeviceMap>(read);
        map.setValue(Table::Holding, 103, 0x4020); // the second float: 2.5, words low first
        map.setValue(Table::Coil, 3, 0);
        const QByteArray saved = mapCsv(map);
        QCOMPARE(saved, QByteArray("table,address,type,value,order,access,name\r\n"
                                   "holding,100,f32,1.5,CDAB,rw,\"flow, in\"\r\n"
                                   "holding,102,f32,2.5,CDAB,rw,\"flow, in\"\r\n"
                                   "holding,0-2,u16,7,ABCD,r,\r\n"
                                   "coil,3,bit,0,,rw,\r\n"
                                   "input,9,str:2,\"a,b\",,rw,\r\n"));
        const MapRead again = parseMap(saved, QStringLiteral("saved.csv"));
        QVERIFY(std::holds_alternative<DeviceMap>(again));
        QCOMPARE(mapCsv(std::get<DeviceMap>(again)), saved);

        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("map.csv"));
        QVERIFY(!saveMap(path, map));
        const MapRead fromFile = readMap(path);
        QVERIFY(std::holds_alternative<DeviceMap>(fromFile));
        QCOMPARE(mapCsv(std::get<DeviceMap>(fromFile)), saved);
    }

    void missingFile()
    {
        const MapRead read = readMap(QStringLiteral("/nonexistent/map.csv"));
        QVERIFY(std::get<MapError>(read).text.startsWith(u"/nonexistent/map.csv: "));
    }

    // The example the package ships and the manual page starts from reads,
    // and holds the byte orders the page shows for 1.5.
    void shippedExample()
    {
        const MapRead read = readMap(QStringLiteral(TALLOWICK_EXAMPLE_MAP));
        const auto *error = std::get_if<MapError>(&read);
        QVERIFY2(!error, error ? qPrintable(error->text) : "");
        QCOMPARE(places(std::get<DeviceMap>(read), Table::Holding, 10, 8),
                 QStringLiteral("3fc0 0000 0000 3fc0 c03f 0000 0000 c03f"));
    }
};

QTEST_APPLESS_MAIN(TestMapFile)
#include "tst_map_file.moc"
