// Golden CRCs: computed once with pymodbus 3.0's pymodbus.utilities.computeCRC
// (Debian python3-pymodbus), independent of this code, and the worked examples
// of the frame format.
#include "engine/command_text.h"

#include <QTest>

using namespace tallowick;

class TestCommandText : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void rejectedLines_data();
    void rejectedLines();
    void crcOfReceivedFrames_data();
    void crcOfReceivedFrames();
};

void TestCommandText::frames_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("crc");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("default line, CRC on") << "030102030405" << true
                                          << QByteArray::fromHex("030102030405 0E93")
                                          << "030102030405 0E93";
    QTest::newRow("default line, CRC off") << "030102030405" << false
                                           << QByteArray::fromHex("030102030405")
                                           << "030102030405";
    QTest::newRow("read one register") << "010300000001" << true
                                       << QByteArray::fromHex("010300000001840A")
                                       << "010300000001 840A";
    QTest::newRow("lower case, CRC off") << "0a0B" << false << QByteArray::fromHex("0A0B") << "0A0B";
    QTest::newRow("lower case, CRC on") << "0a0B" << true << QByteArray::fromHex("0A0B46D7")
                                        << "0A0B 46D7";
    QTest::newRow("odd length: last digit is a byte") << "12345" << true
                                                      << QByteArray::fromHex("1234050706")
                                                      << "123405 0706";
    QTest::newRow("three digits") << "123" << true << QByteArray::fromHex("12034D11") << "1203 4D11";
    QTest::newRow("single digit") << "5" << false << QByteArray::fromHex("05") << "05";
    QTest::newRow("empty, CRC on") << "" << true << QByteArray::fromHex("FFFF") << " FFFF";
    QTest::newRow("empty, CRC off") << "" << false << QByteArray() << "";
    QTest::newRow("write single register") << "010600010003" << true
                                           << QByteArray::fromHex("010600010003980B")
                                           << "010600010003 980B";
    QTest::newRow("write multiple registers")
        << "01100001000204000A0102" << true << QByteArray::fromHex("01100001000204000A01029230")
        << "01100001000204000A0102 9230";
    QTest::newRow("CRC with a leading zero byte") << "11010013002500" << true
                                                  << QByteArray::fromHex("1101001300250005C4")
                                                  << "11010013002500 05C4";
    QTest::newRow("FF") << "ff" << true << QByteArray::fromHex("FFFF00") << "FF FF00";
}

void TestCommandText::frames()
{
    QFETCH(QString, command);
    QFETCH(bool, crc);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

    const auto built = commandFrame(command, crc);
    QVERIFY(built.has_value());
    QCOMPARE(built->bytes.toHex().toUpper(), bytes.toHex().toUpper());
    QCOMPARE(built->text, text);
}

void TestCommandText::rejectedLines_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("blank inside") << "01 03";
    QTest::newRow("G") << "G1";
    QTest::newRow("0x prefix") << "0x01";
    QTest::newRow("&H prefix") << "&H01";
    QTest::newRow("trailing blank") << "0103 ";
    QTest::newRow("tab") << "01\t03";
    QTest::newRow("odd last digit invalid") << "010Z";
    QTest::newRow("full-width digit") << "０１";
    QTest::newRow("letter beyond F") << "0g";
    QTest::newRow("outside the BMP") << QString::fromUtf8("01\xF0\x9F\x98\x80");
}

void TestCommandText::rejectedLines()
{
    QFETCH(QString, command);
    QVERIFY(!textToFrame(command).has_value());
    QVERIFY(!commandFrame(command, true).has_value());
}

void TestCommandText::crcOfReceivedFrames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("crc");
    QTest::newRow("read reply") << QByteArray::fromHex("01030000000184 0A") << 0x0A84;
    QTest::newRow("register value reply") << QByteArray::fromHex("01030200057847") << 0x4778;
    QTest::newRow("two bytes") << QByteArray::fromHex("1234") << 0xFFFF;
    QTest::newRow("one byte") << QByteArray::fromHex("12") << 0xFFFF;
    QTest::newRow("nothing") << QByteArray() << 0xFFFF;
}

void TestCommandText::crcOfReceivedFrames()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, crc);
    QCOMPARE(int(CRC16(frame)), crc);
}

QTEST_GUILESS_MAIN(TestCommandText)
#include "tst_command_text.moc"
