// The description of a Modbus PDU: how long a request and a reply are as
// their first bytes tell, and which reply answers which request. The frames
// are the worked examples of the Modbus Application Protocol Specification
// V1.1b3 (section 6), each behind unit 0x11 with a CRC slot "0000" after it:
// lengths count the address and the CRC, which the description never reads.
#include "frames/modbus_pdu.h"

#include <QTest>

using namespace tallowick;

class TestModbusPdu : public QObject
{
    Q_OBJECT

private slots:
    // The first bytes of a frame in a role -> its whole length, "need more"
    // or "no layout".
    void length_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("bytes");
        QTest::addColumn<QString>("length");
        const auto row = [](const char *name, const char *role, const char *bytes,
                            const char *length) {
            QTest::newRow(name) << QString::fromLatin1(role) << QString::fromLatin1(bytes)
                                << QString::fromLatin1(length);
        };
        row("01 request", "request", "110100130013", "8");
        row("01 reply", "reply", "110103CD6B05", "8");
        row("02 reply", "reply", "110203AC", "8");
        row("03 request", "request", "1103006B0003", "8");
        row("03 reply", "reply", "110306022B00000064", "11");
        row("04 reply", "reply", "110402000A", "7");
        row("05 request", "request", "110500ACFF00", "8");
        row("05 reply", "reply", "110500ACFF00", "8");
        row("06 reply", "reply", "110600010003", "8");
        row("0F request", "request", "110F0013000A02CD01", "11");
        row("0F reply", "reply", "110F0013000A", "8");
        row("10 request", "request", "111000010002", "need more");
        row("10 request with its count", "request", "11100001000204000A0102", "13");
        row("10 reply", "reply", "111000010002", "8");
        row("16 request", "request", "1116000400F20025", "10");
        row("17 request", "request", "111700030006000E000306", "19");
        row("17 reply", "reply", "11170C00FE0ACD", "17");
        row("exception reply", "reply", "118102", "5");
        row("exception is no request", "request", "118102", "no layout");
        row("read reply without its count", "reply", "1103", "need more");
        row("no function code", "reply", "11", "need more");
        row("encapsulated interface", "request", "112B0E0100", "no layout");
        row("count of 255", "reply", "1103FF", "260");
    }
    void length()
    {
        QFETCH(QString, role);
        QFETCH(QString, bytes);
        const FrameLength length =
            rtuFrameLength(QByteArray::fromHex(bytes.toLatin1()),
                           role == u"request" ? PduRole::Request : PduRole::Reply);
        const QString shown = length.status == FrameLength::Known ? QString::number(length.bytes)
                              : length.status == FrameLength::NeedMore
                                  ? QStringLiteral("need more")
                                  : QStringLiteral("no layout");
        QTEST(shown, "length");
    }

    void fits_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("fits");
        const auto row = [](const char *name, const char *request, const char *reply, bool fits) {
            QTest::newRow(name) << QString::fromLatin1(request) << QString::fromLatin1(reply)
                                << fits;
        };
        row("01: 19 coils in 3 bytes", "1101001300130000", "110103CD6B050000", true);
        row("01: 19 coils in 2 bytes", "1101001300130000", "110102CD6B0000", false);
        row("02: 22 inputs in 3 bytes", "110200C400160000", "110203ACDB350000", true);
        row("03: 3 registers in 6 bytes", "1103006B00030000", "110306022B000000640000", true);
        row("03: 3 registers in 4 bytes", "1103006B00030000", "110304022B00000000", false);
        row("03: the same request again", "1103006B00030000", "1103006B00030000", false);
        row("04: 1 register in 2 bytes", "1104000800010000", "110402000A0000", true);
        row("05: echo", "110500ACFF000000", "110500ACFF000000", true);
        row("06: echo", "1106000100030000", "1106000100030000", true);
        row("06: another value", "1106000100030000", "1106000100040000", false);
        row("0F: address and quantity", "110F0013000A02CD010000", "110F0013000A0000", true);
        row("0F: another quantity", "110F0013000A02CD010000", "110F0013000B0000", false);
        row("10: address and quantity", "11100001000204000A01020000", "1110000100020000", true);
        row("16: echo", "1116000400F200250000", "1116000400F200250000", true);
        row("17: 6 registers read", "111700030006000E00030600FF00FF00FF0000",
            "11170C00FE0ACD00010003000D00FF0000", true);
        row("exception", "1101001300130000", "118102C191", true);
        row("exception of another function", "1101001300130000", "118302C191", false);
        row("another unit", "1103006B00030000", "120306022B000000640000", false);
        row("a short request answers nothing", "1103006B0003", "110306022B000000640000", false);
    }
    void fits()
    {
        QFETCH(QString, request);
        QFETCH(QString, reply);
        QTEST(replyFits(QByteArray::fromHex(request.toLatin1()),
                        QByteArray::fromHex(reply.toLatin1())),
              "fits");
    }
};

QTEST_GUILESS_MAIN(TestModbusPdu)
#include "tst_modbus_pdu.moc"
