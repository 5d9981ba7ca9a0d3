// A map value's text to its registers in each byte order, and back. The
// registers of each row were computed once with Python's struct module (the
// value packed big-endian, its words and bytes then put in the row's order),
// not with this code.
#include "device/value_encoding.h"

#include <QTest>

using namespace tallowick;

namespace {

QByteArray registersOf(const QString &type, const QString &order, const QString &text)
{
    const auto kind = parseType(type);
    const auto byteOrder = parseOrder(order);
    if (!kind || !byteOrder)
        return "no type or order";
    const auto bytes = valueBytes(text, *kind);
    if (const auto *reason = std::get_if<QString>(&bytes))
        return reason->toUtf8();
    return reordered(std::get<QByteArray>(bytes), *byteOrder).toHex().toUpper();
}

} // namespace

class TestValueEncoding : public QObject
{
    Q_OBJECT
private slots:
    void orders_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("order");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("registers");
        const auto row = [](const char *name, const char *type, const char *order,
                            const char *value, const char *registers) {
            QTest::newRow(name) << QString::fromUtf8(type) << QString::fromUtf8(order)
                                << QString::fromUtf8(value) << QByteArray(registers);
        };
        row("u16 12345 ABCD", "u16", "ABCD", "12345", "3039");
        row("u16 12345 BADC", "u16", "BADC", "12345", "3930");
        row("i16 -2 ABCD", "i16", "ABCD", "-2", "FFFE");
        row("i16 -32768 DCBA", "i16", "DCBA", "-32768", "0080");
        row("u32 305419896 ABCD", "u32", "ABCD", "305419896", "12345678");
        row("u32 305419896 CDAB", "u32", "CDAB", "305419896", "56781234");
        row("u32 305419896 BADC", "u32", "BADC", "305419896", "34127856");
        row("u32 305419896 DCBA", "u32", "DCBA", "305419896", "78563412");
        row("i32 -123456789 CDAB", "i32", "CDAB", "-123456789", "32EBF8A4");
        row("f32 1.5 ABCD", "f32", "ABCD", "1.5", "3FC00000");
        row("f32 -0.1 ABCD", "f32", "ABCD", "-0.1", "BDCCCCCD");
        row("f32 inf CDAB", "f32", "CDAB", "inf", "00007F80");
        row("f32 3.4028235e38 ABCD", "f32", "ABCD", "3.4028235e38", "7F7FFFFF");
        row("u64 72623859790382856 ABCD", "u64", "ABCD", "72623859790382856", "0102030405060708");
        row("u64 72623859790382856 CDAB", "u64", "CDAB", "72623859790382856", "0708050603040102");
        row("u64 72623859790382856 BADC", "u64", "BADC", "72623859790382856", "0201040306050807");
        row("u64 72623859790382856 DCBA", "u64", "DCBA", "72623859790382856", "0807060504030201");
        row("u64 18446744073709551615 ABCD", "u64", "ABCD", "18446744073709551615",
            "FFFFFFFFFFFFFFFF");
        row("i64 -9223372036854775808 ABCD", "i64", "ABCD", "-9223372036854775808",
            "8000000000000000");
        row("i64 -2 CDAB", "i64", "CDAB", "-2", "FFFEFFFFFFFFFFFF");
        row("f64 -1e300 ABCD", "f64", "ABCD", "-1e300", "FE37E43C8800759C");
        row("f64 3.141592653589793 ABCD", "f64", "ABCD", "3.141592653589793", "400921FB54442D18");
        // Hexadecimal is the raw bytes, of a float too; text fills str:N with NUL.
        row("f32 raw NaN", "f32", "ABCD", "0x7FC00001", "7FC00001");
        row("u32 short hex", "u32", "CDAB", "0x1", "00010000");
        row("str:3", "str:3", "ABCD", "abc", "616263000000");
        row("STR:2 UTF-8", "STR:2", "ABCD", "é", "C3A90000");
        row("str raw", "str:1", "ABCD", "0x00FF", "00FF");
        row("bit raw", "bit", "ABCD", "0x01", "01");
        row("bit", "bit", "ABCD", "1", "01");
    }
    void orders()
    {
        QFETCH(QString, type);
        QFETCH(QString, order);
        QFETCH(QString, value);
        QFETCH(QByteArray, registers);
        QCOMPARE(registersOf(type, order, value), registers);
        // What a save writes reads back as the same bytes.
        const ValueKind kind = *parseType(type);
        const QByteArray bytes = std::get<QByteArray>(valueBytes(value, kind));
        QCOMPARE(std::get<QByteArray>(valueBytes(valueText(bytes, kind), kind)), bytes);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char *name, const char *type, const char *value,
                            const char *reason) {
            QTest::newRow(name) << QString::fromUtf8(type) << QString::fromUtf8(value)
                                << QString::fromUtf8(reason);
        };
        row("u16 too big", "u16", "65536", "\"65536\" is out of range for u16 (0 to 65535)");
        row("u16 negative", "u16", "-1", "\"-1\" is out of range for u16 (0 to 65535)");
        row("u64 too big", "u64", "18446744073709551616",
            "\"18446744073709551616\" is out of range for u64 (0 to 18446744073709551615)");
        row("i16 too small", "i16", "-32769",
            "\"-32769\" is out of range for i16 (-32768 to 32767)");
        row("i64 too small", "i64", "-9223372036854775809",
            "\"-9223372036854775809\" is out of range for i64 (-9223372036854775808 to "
            "9223372036854775807)");
        row("minus inside", "u16", "1-2", "\"1-2\" is not a whole number");
        row("i32 fraction", "i32", "1.5", "\"1.5\" is not a whole number");
        row("u16 empty", "u16", "", "empty, and u16 needs a value");
        row("hex too wide", "u16", "0x10000",
            "\"0x10000\" does not fit u16 (4 hexadecimal digits)");
        row("hex not hex", "u32", "0x12G4", "\"0x12G4\" is not a hexadecimal number");
        row("f32 too big", "f32", "1e39", "\"1e39\" is not a number that f32 holds");
        row("f64 comma", "f64", "1,5", "\"1,5\" is not a number that f64 holds");
        row("bit 2", "bit", "2", "\"2\" is not a bit (0 or 1)");
        row("bit 0x2", "bit", "0x2", "\"0x2\" is not a bit (0 or 1)");
        row("str too long", "str:2", "abcde", "\"abcde\" is longer than str:2 (4 bytes)");
        row("str odd hex", "str:2", "0xABC", "\"0xABC\" is not hexadecimal bytes");
        row("digits of another script", "u16", "\xd9\xa3", "\"\xd9\xa3\" is not a whole number");
    }
    void refusals()
    {
        QFETCH(QString, type);
        QFETCH(QString, value);
        QFETCH(QString, reason);
        const auto bytes = valueBytes(value, *parseType(type));
        QVERIFY(std::holds_alternative<QString>(bytes));
        QCOMPARE(std::get<QString>(bytes), reason);
    }

    void types_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("registers"); // 0: not a type
        QTest::newRow("f64") << "F64" << 4;
        QTest::newRow("str:125") << "str:125" << 125;
        QTest::newRow("f16") << "f16" << 0;
        QTest::newRow("str:0") << "str:0" << 0;
        QTest::newRow("str:") << "str:" << 0;
        QTest::newRow("str:+3") << "str:+3" << 0;
        QTest::newRow("str:65537") << "str:65537" << 0;
    }
    void types()
    {
        QFETCH(QString, text);
        QFETCH(int, registers);
        const auto kind = parseType(text);
        QCOMPARE(kind ? kind->registers : 0, registers);
    }
};

QTEST_APPLESS_MAIN(TestValueEncoding)
#include "tst_value_encoding.moc"
