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
        const char *rtu = "01030200057847";
        const char *tcp = "0001000000050103020005";
        const auto row = [](const char *name, const char *rule, bool mbap, const char *frame,
                            const char *sent) {
            QTest::newRow(name) << QString::fromUtf8(rule) << mbap << QByteArray(frame)
                                << QByteArray(sent);
        };
        row("crc", "crc", false, rtu, "010302000587B8");
        row("crc on Modbus TCP", "crc", true, tcp, tcp);
        row("wrong-unit", "wrong-unit", false, rtu, "02030200053C47");
        row("wrong-unit 255", "wrong-unit", false, "FF0302000A1197", "010302000A3843");
        row("wrong-unit on Modbus TCP", "wrong-unit", true, tcp, "0001000000050203020005");
        row("wrong-function", "wrong-function", false, rtu, "01040200057933");
        row("wrong-function of an exception", "wrong-function", false, "018302C0F1", "018402C2C1");
        row("wrong-function on Modbus TCP", "wrong-function", true, tcp, "0001000000050104020005");
        row("tid", "tid", true, tcp, "0002000000050103020005");
        row("tid wraps", "tid", true, "FFFF000000050103020005", "0000000000050103020005");
        row("tid on RTU", "tid", false, rtu, rtu);
        row("extra", "extra=FF00", false, rtu, "01030200057847FF00");
        row("truncate inside the header", "truncate=3", true, tcp, "000100");
        row("truncate past the end", "truncate=20", false, rtu, rtu);
        row("delay is the link's", "delay=5", false, rtu, rtu);
        row("gap is the link's", "gap=5:2", true, tcp, tcp);
    }
    void applied()
    {
        QFETCH(QString, rule);
        QFETCH(bool, mbap);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, sent);
        const FaultAction action = std::get<FaultRule>(parseFaultRule(rule)).action;
        const QByteArray out = appliedToFrame(action, mbap ? ReplyFraming::Mbap : ReplyFraming::Rtu,
                                              QByteArray::fromHex(frame));
        QCOMPARE(out.toHex().toUpper(), sent);
    }

    void replacedReply_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply"); // empty: answered from the map
        const auto row = [](const char *name, const char *rule, const char *request,
                            const char *reply) {
            QTest::newRow(name) << QString::fromUtf8(rule) << QByteArray(request)
                                << QByteArray(reply);
        };
        row("exception=04 to a read", "exception=04", "0300000001", "8304");
        row("exception=0B to a write", "exception=0B@fc=10", "100000000102FFFF", "900B");
        row("crc leaves the answer", "crc", "0300000001", "");
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
