// The rule actions that change a framed reply's bytes. The CRCs of the
// changed RTU frames were computed with an independent CRC-16/MODBUS (a few
// lines of Python), not with this code.
#include "device/fault_bytes.h"

#include <QTest>

using namespace tallowick;

class TestFaultBytes : public QObject
{
    Q_OBJECT
private slots:
    void applied_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<bool>("mbap");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("sent");
        const QByteArray rtu = "01030200057847";
        const QByteArray tcp = "0001000000050103020005";
        QTest::newRow("crc") << "crc" << false << rtu << QByteArray("010302000587B8");
        QTest::newRow("crc on Modbus TCP") << "crc" << true << tcp << tcp;
        QTest::newRow("wrong-unit") << "wrong-unit" << false << rtu << QByteArray("02030200053C47");
        QTest::newRow("wrong-unit 255") << "wrong-unit" << false << QByteArray("FF0302000A1197")
                                        << QByteArray("010302000A3843");
        QTest::newRow("wrong-unit on Modbus TCP")
            << "wrong-unit" << true << tcp << QByteArray("0001000000050203020005");
        QTest::newRow("wrong-function")
            << "wrong-function" << false << rtu << QByteArray("01040200057933");
        QTest::newRow("wrong-function of an exception")
            << "wrong-function" << false << QByteArray("018302C0F1") << QByteArray("018402C2C1");
        QTest::newRow("wrong-function on Modbus TCP")
            << "wrong-function" << true << tcp << QByteArray("0001000000050104020005");
        QTest::newRow("tid") << "tid" << true << tcp << QByteArray("0002000000050103020005");
        QTest::newRow("tid wraps") << "tid" << true << QByteArray("FFFF000000050103020005")
                                   << QByteArray("0000000000050103020005");
        QTest::newRow("tid on RTU") << "tid" << false << rtu << rtu;
        QTest::newRow("extra") << "extra=FF00" << false << rtu << QByteArray("01030200057847FF00");
        QTest::newRow("truncate inside the header")
            << "truncate=3" << true << tcp << QByteArray("000100");
        QTest::newRow("truncate past the end") << "truncate=20" << false << rtu << rtu;
        QTest::newRow("delay is the link's") << "delay=5" << false << rtu << rtu;
        QTest::newRow("gap is the link's") << "gap=5:2" << true << tcp << tcp;
    }
    void applied()
    {
        QFETCH(QString, rule);
        QFETCH(bool, mbap);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, sent);
        const FaultAction action = std::get<FaultRule>(parseFaultRule(rule)).action;
        const QByteArray out =
            appliedToFrame(action, mbap ? Framing::Mbap : Framing::Rtu, QByteArray::fromHex(frame));
        QCOMPARE(out.toHex().toUpper(), sent);
    }

    void replacedReply_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply"); // empty: answered from the map
        QTest::newRow("exception=04 to a read")
            << "exception=04" << QByteArray("0300000001") << QByteArray("8304");
        QTest::newRow("exception=0B to a write")
            << "exception=0B@fc=10" << QByteArray("100000000102FFFF") << QByteArray("900B");
        QTest::newRow("crc leaves the answer") << "crc" << QByteArray("0300000001") << QByteArray();
    }
    void replacedReply()
    {
        QFETCH(QString, rule);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        const FaultAction action = std::get<FaultRule>(parseFaultRule(rule)).action;
        const auto instead = replyInstead(action, QByteArray::fromHex(request));
        QCOMPARE(instead ? instead->toHex().toUpper() : QByteArray(), reply);
    }
};

QTEST_APPLESS_MAIN(TestFaultBytes)
#include "tst_fault_bytes.moc"
