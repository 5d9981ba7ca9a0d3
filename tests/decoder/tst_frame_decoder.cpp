// Expected descriptions written out by hand from the frame layouts and labels
// of the decoder (worked examples: 010304000A0014 and 01100001000204000A0102).
#include "decoder/frame_decoder.h"

#include <QTest>

using namespace tallowick;

class TestFrameDecoder : public QObject
{
    Q_OBJECT
private slots:
    void describe_data();
    void describe();
    void describeAgain_data();
    void describeAgain();
    void hugeTexts_data();
    void hugeTexts();
};

namespace {
QString lines(const QStringList &list)
{
    return list.join(QStringLiteral("\r\n"));
}
} // namespace

void TestFrameDecoder::describe_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("described");

    // Function 03
    QTest::newRow("03 response")
        << "010304000A0014"
        << lines({"010304000A0014", "", "Modbus 03 Response :)", "", "Response Slave ID-------:01",
                  "Function Code------------:03", "Response DataCount----:04",
                  "Data1----------------------:000A", "Data2----------------------:0014"});
    QTest::newRow("03 request") << "010300000002"
                                << lines({"010300000002", "", "Modbus 03 Request :)", "",
                                          "Requset Slave ID---------:01",
                                          "Function Code------------:03",
                                          "Start Address--------------:0000",
                                          "Read Count----------------:0002"});
    QTest::newRow("03 twelve digits reading 03: response, odd count")
        << "010303000002"
        << lines({"010303000002", "", "Modbus 03 Response :)", "", "Response Slave ID-------:01",
                  "Function Code------------:03", "Response DataCount----:03",
                  "Data1----------------------:0000", "Data2----------------------:02", ""});
    QTest::newRow("03 response without data")
        << "010300"
        << lines({"010300", "", "Modbus 03 Response :)", "", "Response Slave ID-------:01",
                  "Function Code------------:03", "Response DataCount----:00"});
    QTest::newRow("03 request still carrying its CRC")
        << "010300000002C40B"
        << lines({"010300000002C40B", "", "Non-standard Modbus 03 function :'("});
    QTest::newRow("03 trailing blank ignored")
        << "010300000002 "
        << lines({"010300000002 ", "", "Modbus 03 Request :)", "", "Requset Slave ID---------:01",
                  "Function Code------------:03", "Start Address--------------:0000",
                  "Read Count----------------:0002"});
    QTest::newRow("03 line break counts")
        << "010300000002\r\n"
        << lines({"010300000002", "", "", "Non-standard Modbus 03 function :'("});
    // Byte-count reading: blanks, tabs and line feeds skipped, other characters end it.
    QTest::newRow("03 count with a blank")
        << "0103 2ABCD"
        << lines({"0103 2ABCD", "", "Modbus 03 Response :)", "", "Response Slave ID-------:01",
                  "Function Code------------:03", "Response DataCount----: 2",
                  "Data1----------------------:ABCD"});
    QTest::newRow("03 count with a tab")
        << "0103\t2ABCD"
        << lines({"0103\t2ABCD", "", "Modbus 03 Response :)", "", "Response Slave ID-------:01",
                  "Function Code------------:03", "Response DataCount----:\t2",
                  "Data1----------------------:ABCD"});
    QTest::newRow("03 count cut by a CR")
        << "0103\r2ABCD"
        << "0103\r2ABCD\r\n\r\nNon-standard Modbus 03 function :'(";
    QTest::newRow("03 count of no digits reads 0")
        << "0103G2"
        << lines({"0103G2", "", "Modbus 03 Response :)", "", "Response Slave ID-------:01",
                  "Function Code------------:03", "Response DataCount----:G2"});

    // Function 04
    QTest::newRow("04 response, lower-case count")
        << "01040aAAAABBBBCCCCDDDDeeee"
        << lines({"01040aAAAABBBBCCCCDDDDeeee", "", "Modbus 04 Response :)", "",
                  "Response Slave ID-------:01", "Function Code------------:04",
                  "Response DataCount----:0a", "Data1----------------------:AAAA",
                  "Data2----------------------:BBBB", "Data3----------------------:CCCC",
                  "Data4----------------------:DDDD", "Data5----------------------:eeee"});
    QTest::newRow("04 request") << "110400080001"
                                << lines({"110400080001", "", "Modbus 04 Request :)", "",
                                          "Requset Slave ID---------:11",
                                          "Function Code------------:04",
                                          "Start Address--------------:0008",
                                          "Read Count----------------:0001"});
    QTest::newRow("04 non-standard")
        << "0104000000" << lines({"0104000000", "", "Non-standard Modbus 04 function :'("});

    // Function 06
    QTest::newRow("06") << "010600010003"
                        << lines({"010600010003", "", "Modbus 06 Function :)", "",
                                  "Slave ID-------------------:01", "Function Code------------:06",
                                  "Write Address------------:0001",
                                  "Write Count--------------:0003"});
    QTest::newRow("06 short: fields run into the description")
        << "0106"
        << lines({"0106", "", "Modbus 06 Function :)", "", "Slave ID-------------------:01",
                  "Function Code------------:06", "Write Address------------:", "", "",
                  "Write Count--------------:Modb"});
    QTest::newRow("06 thirteen characters")
        << "0106000100030" << lines({"0106000100030", "", "Non-standard Modbus 06 function :'("});

    // Function 10
    QTest::newRow("10 request with data")
        << "01100001000204000A0102"
        << lines({"01100001000204000A0102", "", "Modbus 10 Requset :)", "",
                  "Requset Slave ID---------:01", "Function Code------------:10",
                  "Write Start address-------:0001", "Write Count---------------:0002",
                  "Data Byte------------------:04", "Write Data1---------------:000A",
                  "Write Data2---------------:0102"});
    QTest::newRow("10 request with odd data")
        << "01100001000203000102"
        << lines({"01100001000203000102", "", "Modbus 10 Requset :)", "",
                  "Requset Slave ID---------:01", "Function Code------------:10",
                  "Write Start address-------:0001", "Write Count---------------:0002",
                  "Data Byte------------------:03", "Write Data1---------------:0001",
                  "Write Data2---------------:02", ""});
    QTest::newRow("10 twelve digits")
        << "011000010002"
        << lines({"011000010002", "", "Modbus 10 Request :)", "", "Response Slave ID-------:01",
                  "Function Code------------:10", "Start Address--------------:0001",
                  "Write Count---------------:0002"});
    QTest::newRow("10 non-standard")
        << "0110000100020400"
        << lines({"0110000100020400", "", "Non-standard Modbus 10 function :'("});
    QTest::newRow("leading blank shifts a 03 request to 10")
        << " 010300000002"
        << lines({" 010300000002", "", "Modbus 10 Request :)", "", "Response Slave ID-------: 0",
                  "Function Code------------:10", "Start Address--------------:3000",
                  "Write Count---------------:0000"});

    // Other codes
    QTest::newRow("empty") << "" << lines({"", "", "Unknow command :'("});
    QTest::newRow("three characters") << "010" << lines({"010", "", "Unknow command :'("});
    QTest::newRow("0A") << "010A0000" << lines({"010A0000", "", "Unknow command :'("});
    QTest::newRow("16") << "01160000" << lines({"01160000", "", "Unknow command :'("});
}

void TestFrameDecoder::describe()
{
    QFETCH(QString, text);
    QFETCH(QString, described);
    QCOMPARE(parseCommand(text), described);
}

void TestFrameDecoder::describeAgain_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("described");

    QTest::newRow("03") << "010304000A0014"
                        << lines({"010304000A0014", "", "Modbus 03 Response :)", "",
                                  "Response Slave ID-------:01", "Function Code------------:03",
                                  "Response DataCount----:04", "Data1----------------------:000A",
                                  "Data2----------------------:0014", "",
                                  "Non-standard Modbus 03 function :'("});
    QTest::newRow("06") << "010600010003"
                        << lines({"010600010003", "", "Modbus 06 Function :)", "",
                                  "Slave ID-------------------:01", "Function Code------------:06",
                                  "Write Address------------:0001",
                                  "Write Count--------------:0003", "",
                                  "Non-standard Modbus 06 function :'("});
}

void TestFrameDecoder::describeAgain()
{
    QFETCH(QString, text);
    QFETCH(QString, described);
    QCOMPARE(parseCommand(parseCommand(text)), described);
}

void TestFrameDecoder::hugeTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("appended");

    // Lengths chosen so that a 16-bit count would wrap to a length that qualifies.
    QTest::newRow("03, 65548 digits")
        << "0103" + QString(65544, u'0') << "\r\n\r\nNon-standard Modbus 03 function :'(";
    QTest::newRow("06, 65536 digits")
        << "0106" + QString(65532, u'0') << "\r\n\r\nNon-standard Modbus 06 function :'(";
    QTest::newRow("10, 65550 digits")
        << "0110" + QString(65546, u'0') << "\r\n\r\nNon-standard Modbus 10 function :'(";
    QTest::newRow("request followed by 40000 blanks")
        << "010300000002" + QString(40000, u' ')
        << lines({"", "", "Modbus 03 Request :)", "", "Requset Slave ID---------:01",
                  "Function Code------------:03", "Start Address--------------:0000",
                  "Read Count----------------:0002"});
}

void TestFrameDecoder::hugeTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, appended);
    QCOMPARE(parseCommand(text), text + appended);
}

QTEST_APPLESS_MAIN(TestFrameDecoder)
#include "tst_frame_decoder.moc"
