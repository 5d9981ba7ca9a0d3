// The reply entry, its CRC check and the serial end-of-reply rule, without any
// link. CRCs: pymodbus 3.0 utilities.computeCRC, computed once; t3.5 worked out
// by hand from 3.5 characters of 11 bits.
#include "replies/reply_check.h"

#include <QTest>

using namespace tallowick;
using namespace std::chrono_literals;

class TestReplyCheck : public QObject
{
    Q_OBJECT
private slots:
    void replyEntry_data();
    void replyEntry();
    void endOfSerialReply_data();
    void endOfSerialReply();
    void interFrameSilence_data();
    void interFrameSilence();
};

void TestReplyCheck::replyEntry_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("entry"); // empty: the reply cannot be checked

    const QString wrong = QStringLiteral("  *CRC錯誤　正確為  ");
    QTest::newRow("correct") << QByteArray::fromHex("01030200057847") << "接收 < 0103020005 7847";
    QTest::newRow("last byte changed")
        << QByteArray::fromHex("01030200057848") << "接收 < 0103020005 7848" + wrong + "7847";
    QTest::newRow("high byte below 10 hex")
        << QByteArray::fromHex("0103000000010000") << "接收 < 010300000001 0000" + wrong + "84A";
    QTest::newRow("both bytes below 10 hex")
        << QByteArray::fromHex("01030240E60000") << "接收 < 01030240E6 0000" + wrong + "8E";
    QTest::newRow("two bytes FF FF") << QByteArray::fromHex("FFFF") << "接收 <  FFFF";
    QTest::newRow("two other bytes")
        << QByteArray::fromHex("0000") << "接收 <  0000" + wrong + "FFFF";
    QTest::newRow("Modbus TCP layout") << QByteArray::fromHex("0001000000050103020005")
                                       << "接收 < 000100000005010302 0005" + wrong + "1B1";
    QTest::newRow("one byte") << QByteArray::fromHex("01") << QString();
    QTest::newRow("nothing") << QByteArray() << QString();
}

void TestReplyCheck::replyEntry()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, entry);
    const auto text = replyEntryText(reply);
    QCOMPARE(text.value_or(QString()), entry);
    QCOMPARE(text.has_value(), !entry.isEmpty());
}

void TestReplyCheck::endOfSerialReply_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("baud");
    QTest::addColumn<qint64>("quietUs");

    // A whole, CRC-correct reply ends after t3.5 to the microsecond, rounded
    // up: 3.5 * 11 / baud s, never below 1.75 ms (/usr/bin/python3,
    // max(math.ceil(3.5 * 11 / baud * 1e6), 1750)):
    // 9600 baud 4010.42 us -> 4011; 115200 baud 334.2 us -> 1750;
    // 1200 baud 32083.33 us -> 32084.
    QTest::newRow("03 reply") << QByteArray::fromHex("01030200057847") << 9600 << qint64(4011);
    QTest::newRow("03 reply, fast line")
        << QByteArray::fromHex("01030200057847") << 115200 << qint64(1750);
    QTest::newRow("04 reply") << QByteArray::fromHex("01040400050000EB85") << 9600 << qint64(4011);
    QTest::newRow("06 echo") << QByteArray::fromHex("01060001000799C8") << 9600 << qint64(4011);
    QTest::newRow("05 echo") << QByteArray::fromHex("0105000AFF00AC38") << 9600 << qint64(4011);
    QTest::newRow("exception") << QByteArray::fromHex("018302C0F1") << 9600 << qint64(4011);
    QTest::newRow("slow line") << QByteArray::fromHex("01030200057847") << 1200 << qint64(32084);
    // Anything else waits out the batching of USB adapters, 20 ms.
    QTest::newRow("part of a reply")
        << QByteArray::fromHex("010302000578") << 9600 << qint64(20000);
    QTest::newRow("no byte count yet") << QByteArray::fromHex("0103") << 9600 << qint64(20000);
    QTest::newRow("wrong CRC") << QByteArray::fromHex("01030200057848") << 9600 << qint64(20000);
    QTest::newRow("one byte too many")
        << QByteArray::fromHex("0103020005784700") << 9600 << qint64(20000);
    QTest::newRow("unknown layout")
        << QByteArray::fromHex("01110AB4FF4C4D42332E312E3648AE") << 9600 << qint64(20000);
    QTest::newRow("single byte") << QByteArray::fromHex("01") << 9600 << qint64(20000);
    QTest::newRow("no baud rate") << QByteArray::fromHex("01030200057847") << 0 << qint64(20000);
}

void TestReplyCheck::endOfSerialReply()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, baud);
    QFETCH(qint64, quietUs);
    QCOMPARE(replyQuietTime(bytes, baud).count(), quietUs);
}

void TestReplyCheck::interFrameSilence_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<qint64>("micros");
    QTest::newRow("1200") << 1200 << qint64(32084);  // 32083.3 us
    QTest::newRow("9600") << 9600 << qint64(4011);   // 4010.4 us
    QTest::newRow("19200") << 19200 << qint64(2006); // 2005.2 us
    QTest::newRow("38400") << 38400 << qint64(1750); // 1002.6 us, below the floor
    QTest::newRow("115200") << 115200 << qint64(1750);
}

void TestReplyCheck::interFrameSilence()
{
    QFETCH(int, baud);
    QFETCH(qint64, micros);
    QCOMPARE(tallowick::interFrameSilence(baud).count(), micros);
}

QTEST_APPLESS_MAIN(TestReplyCheck)
#include "tst_reply_check.moc"
