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
    const auto spec = parseType(type);
    const auto byteOrder = parseOrder(order);
    if (!spec || !byteOrder)
        return "no type or order";
    const auto bytes = valueBytes(text, *spec);
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
        QTest::newRow("u16 12345 ABCD") << "u16"
                                        << "ABCD"
                                        << "12345" << QByteArray("3039");
        QTest::newRow("u16 12345 BADC") << "u16"
                                        << "BADC"
                                        << "12345" << QByteArray("3930");
        QTest::newRow("u16 65535 ABCD") << "u16"
                                        << "ABCD"
                                        << "65535" << QByteArray("FFFF");
        QTest::newRow("i16 -2 ABCD") << "i16"
                                     << "ABCD"
                                     << "-2" << QByteArray("FFFE");
        QTest::newRow("i16 -32768 DCBA") << "i16"
                                         << "DCBA"
                                         << "-32768" << QByteArray("0080");
        QTest::newRow("u32 305419896 ABCD") << "u32"
                                            << "ABCD"
                                            << "305419896" << QByteArray("12345678");
        QTest::newRow("u32 305419896 CDAB") << "u32"
                                            << "CDAB"
                                            << "305419896" << QByteArray("56781234");
        QTest::newRow("u32 305419896 BADC") << "u32"
                                            << "BADC"
                                            << "305419896" << QByteArray("34127856");
        QTest::newRow("u32 305419896 DCBA") << "u32"
                                            << "DCBA"
                                            << "305419896" << QByteArray("78563412");
        QTest::newRow("i32 -123456789 ABCD") << "i32"
                                             << "ABCD"
                                             << "-123456789" << QByteArray("F8A432EB");
        QTest::newRow("i32 -123456789 CDAB") << "i32"
                                             << "CDAB"
                                             << "-123456789" << QByteArray("32EBF8A4");
        QTest::newRow("f32 1.5 ABCD") << "f32"
                                      << "ABCD"
                                      << "1.5" << QByteArray("3FC00000");
        QTest::newRow("f32 1.5 CDAB") << "f32"
                                      << "CDAB"
                                      << "1.5" << QByteArray("00003FC0");
        QTest::newRow("f32 1.5 BADC") << "f32"
                                      << "BADC"
                                      << "1.5" << QByteArray("C03F0000");
        QTest::newRow("f32 1.5 DCBA") << "f32"
                                      << "DCBA"
                                      << "1.5" << QByteArray("0000C03F");
        QTest::newRow("f32 -0.1 ABCD") << "f32"
                                       << "ABCD"
                                       << "-0.1" << QByteArray("BDCCCCCD");
        QTest::newRow("f32 inf CDAB") << "f32"
                                      << "CDAB"
                                      << "inf" << QByteArray("00007F80");
        QTest::newRow("f32 3.4028235e38 ABCD") << "f32"
                                               << "ABCD"
                                               << "3.4028235e38" << QByteArray("7F7FFFFF");
        QTest::newRow("u64 72623859790382856 ABCD")
            << "u64"
            << "ABCD"
            << "72623859790382856" << QByteArray("0102030405060708");
        QTest::newRow("u64 72623859790382856 CDAB")
            << "u64"
            << "CDAB"
            << "72623859790382856" << QByteArray("0708050603040102");
        QTest::newRow("u64 72623859790382856 BADC")
            << "u64"
            << "BADC"
            << "72623859790382856" << QByteArray("0201040306050807");
        QTest::newRow("u64 72623859790382856 DCBA")
            << "u64"
            << "DCBA"
            << "72623859790382856" << QByteArray("0807060504030201");
        QTest::newRow("u64 18446744073709551615 ABCD")
            << "u64"
            << "ABCD"
            << "18446744073709551615" << QByteArray("FFFFFFFFFFFFFFFF");
        QTest::newRow("i64 -9223372036854775808 ABCD")
            << "i64"
            << "ABCD"
            << "-9223372036854775808" << QByteArray("8000000000000000");
        QTest::newRow("i64 -2 CDAB") << "i64"
                                     << "CDAB"
                                     << "-2" << QByteArray("FFFEFFFFFFFFFFFF");
        QTest::newRow("f64 -1e300 ABCD") << "f64"
                                         << "ABCD"
                                         << "-1e300" << QByteArray("FE37E43C8800759C");
        QTest::newRow("f64 -1e300 CDAB") << "f64"
                                         << "CDAB"
                                         << "-1e300" << QByteArray("759C8800E43CFE37");
        QTest::newRow("f64 -1e300 BADC") << "f64"
                                         << "BADC"
                                         << "-1e300" << QByteArray("37FE3CE400889C75");
        QTest::newRow("f64 -1e300 DCBA") << "f64"
                                         << "DCBA"
                                         << "-1e300" << QByteArray("9C7500883CE437FE");
        QTest::newRow("f64 3.141592653589793 ABCD")
            << "f64"
            << "ABCD"
            << "3.141592653589793" << QByteArray("400921FB54442D18");
        // Hexadecimal is the raw bytes, of a float too; text fills str:N with NUL.
        QTest::newRow("f32 raw NaN") << "f32"
                                     << "ABCD"
                                     << "0x7FC00001" << QByteArray("7FC00001");
        QTest::newRow("u32 short hex") << "u32"
                                       << "CDAB"
                                       << "0x1" << QByteArray("00010000");
        QTest::newRow("str:3") << "str:3"
                               << "ABCD"
                               << "abc" << QByteArray("616263000000");
        QTest::newRow("STR:2 UTF-8") << "STR:2"
                                     << "ABCD"
                                     << "é" << QByteArray("C3A90000");
        QTest::newRow("str raw") << "str:1"
                                 << "ABCD"
                                 << "0x00FF" << QByteArray("00FF");
        QTest::newRow("bit raw") << "bit"
                                 << "ABCD"
                                 << "0x01" << QByteArray("01");
        QTest::newRow("bit") << "bit"
                             << "ABCD"
                             << "1" << QByteArray("01");
    }
    void orders()
    {
        QFETCH(QString, type);
        QFETCH(QString, order);
        QFETCH(QString, value);
        QFETCH(QByteArray, registers);
        QCOMPARE(registersOf(type, order, value), registers);
        // What a save writes reads back as the same bytes.
        const TypeSpec spec = *parseType(type);
        const QByteArray bytes = std::get<QByteArray>(valueBytes(value, spec));
        QCOMPARE(std::get<QByteArray>(valueBytes(valueText(bytes, spec), spec)), bytes);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("reason");
        QTest::newRow("u16 too big") << "u16"
                                     << "65536"
                                     << "\"65536\" is out of range for u16 (0 to 65535)";
        QTest::newRow("u16 negative") << "u16"
                                      << "-1"
                                      << "\"-1\" is out of range for u16 (0 to 65535)";
        QTest::newRow("i16 too big") << "i16"
                                     << "32768"
                                     << "\"32768\" is out of range for i16 (-32768 to 32767)";
        QTest::newRow("u64 too big")
            << "u64"
            << "18446744073709551616"
            << "\"18446744073709551616\" is out of range for u64 (0 to 18446744073709551615)";
        QTest::newRow("i16 too small") << "i16"
                                       << "-32769"
                                       << "\"-32769\" is out of range for i16 (-32768 to 32767)";
        QTest::newRow("i64 too small") << "i64"
                                       << "-9223372036854775809"
                                       << "\"-9223372036854775809\" is out of range for i64 "
                                          "(-9223372036854775808 to 9223372036854775807)";
        QTest::newRow("minus inside") << "u16"
                                      << "1-2"
                                      << "\"1-2\" is not a whole number";
        QTest::newRow("digits of another script")
            << "u16" << QString::fromUtf8("\xd9\xa3")
            << QString::fromUtf8("\"\xd9\xa3\" is not a whole number");
        QTest::newRow("i32 fraction") << "i32"
                                      << "1.5"
                                      << "\"1.5\" is not a whole number";
        QTest::newRow("u16 text") << "u16"
                                  << "abc"
                                  << "\"abc\" is not a whole number";
        QTest::newRow("u16 empty") << "u16"
                                   << ""
                                   << "empty, and u16 needs a value";
        QTest::newRow("hex too wide") << "u16"
                                      << "0x10000"
                                      << "\"0x10000\" does not fit u16 (4 hexadecimal digits)";
        QTest::newRow("hex not hex") << "u32"
                                     << "0x12G4"
                                     << "\"0x12G4\" is not a hexadecimal number";
        QTest::newRow("f32 too big") << "f32"
                                     << "1e39"
                                     << "\"1e39\" is not a number that f32 holds";
        QTest::newRow("f64 comma") << "f64"
                                   << "1,5"
                                   << "\"1,5\" is not a number that f64 holds";
        QTest::newRow("bit 2") << "bit"
                               << "2"
                               << "\"2\" is not a bit (0 or 1)";
        QTest::newRow("bit 0x2") << "bit"
                                 << "0x2"
                                 << "\"0x2\" is not a bit (0 or 1)";
        QTest::newRow("str too long") << "str:2"
                                      << "abcde"
                                      << "\"abcde\" is longer than str:2 (4 bytes)";
        QTest::newRow("str odd hex") << "str:2"
                                     << "0xABC"
                                     << "\"0xABC\" is not hexadecimal bytes";
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
        const auto spec = parseType(text);
        QCOMPARE(spec ? spec->registers : 0, registers);
    }
};

QTEST_APPLESS_MAIN(TestValueEncoding)
#include "tst_value_encoding.moc"
