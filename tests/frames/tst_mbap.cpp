// Modbus TCP framing: the header written before a request, and the reader
// that cuts a reply stream into frames by their headers, whatever pieces the
// bytes arrive in and whatever length a peer claims. That any stream reads the
// same in any pieces, and that a request reads back as itself, fuzz_mbap_reader
// checks on its seeds.
#include "frames/mbap.h"

#include <QTest>

using namespace tallowick;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// What one take() gave, as text: "frame <tid> <protocol> <unit> <hex>" or
// "bad <length>: <reason>"; "more" is not written down.
QString describe(const MbapRead &read)
{
    if (const auto *frame = std::get_if<MbapFrame>(&read)) {
        return QStringLiteral("frame %1 %2 %3 %4")
            .arg(frame->transactionId)
            .arg(frame->protocol)
            .arg(frame->unit)
            .arg(QString::fromLatin1(frame->unitAndPdu.toHex()));
    }
    if (const auto *bad = std::get_if<MbapBadLength>(&read))
        return QStringLiteral("bad %1: %2").arg(bad->length).arg(bad->reason);
    return QStringLiteral("more");
}

// Feeds the chunks in turn, taking after each until the reader needs more;
// each result is prefixed with the chunk it came after.
QStringList readAll(MbapReader &reader, const QList<QByteArray> &chunks)
{
    QStringList seen;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        reader.feed(chunks[i]);
        for (;;) {
            const MbapRead read = reader.take();
            if (std::holds_alternative<MbapNeedMore>(read))
                break;
            seen << QStringLiteral("%1: %2").arg(i).arg(describe(read));
            if (std::holds_alternative<MbapBadLength>(read))
                break;
        }
    }
    return seen;
}

QList<QByteArray> byteByByte(const QByteArray &bytes)
{
    QList<QByteArray> chunks;
    for (char c : bytes)
        chunks << QByteArray(1, c);
    return chunks;
}

// A reply to "read two registers" of unit 1: 0001 0000 0007 01 03 04 000A 0102.
const QByteArray reply1 = hex("000100000007010304000a0102");
const QByteArray reply2 = hex("00020000000501030200ff");
const QString frame1 = QStringLiteral("frame 1 0 1 010304000a0102");
const QString frame2 = QStringLiteral("frame 2 0 1 01030200ff");

} // namespace

class TestMbap : public QObject
{
    Q_OBJECT
private slots:
    void request_data()
    {
        QTest::addColumn<int>("transactionId");
        QTest::addColumn<QByteArray>("pdu");
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("read registers")
            << 1 << hex("01030000000a") << hex("00010000000601030000000a");
        QTest::newRow("65535 bytes")
            << 3 << QByteArray(65535, '\x01') << hex("00030000ffff") + QByteArray(65535, '\x01');
        QTest::newRow("65536 bytes") << 4 << QByteArray(65536, '\x01') << QByteArray();
    }

    void request()
    {
        QFETCH(int, transactionId);
        QFETCH(QByteArray, pdu);
        QTEST(mbapAdu(quint16(transactionId), pdu), "request");
    }

    void transactionIds_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("next");
        QTest::newRow("none yet") << 0 << 1;
        QTest::newRow("wraps to 1") << 65535 << 1;
    }

    void transactionIds()
    {
        QFETCH(int, id);
        QTEST(int(nextTransactionId(quint16(id))), "next");
    }

    void reader_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("seen");
        QTest::addColumn<int>("buffered");
        const auto row = [](const char *name, const QList<QByteArray> &chunks,
                            const QStringList &seen,
                            int buffered) { QTest::newRow(name) << chunks << seen << buffered; };
        const QString ofLength = QStringLiteral(", not from 2 to 254");
        row("one frame", {reply1}, {"0: " + frame1}, 0);
        row("two frames in one chunk", {reply1 + reply2}, {"0: " + frame1, "0: " + frame2}, 0);
        row("a frame and half the next", {reply1 + reply2.first(8)}, {"0: " + frame1}, 8);
        row("body cut short", {reply1.first(12)}, {}, 12);
        // A length no frame can have is refused as soon as it is read.
        row("length 1", {hex("00010000000101")}, {"0: bad 1: MBAP length 1" + ofLength}, 0);
        row("length 255", {hex("0001000000ff")}, {"0: bad 255: MBAP length 255" + ofLength}, 0);
        row("huge length byte by byte", byteByByte(hex("00010000ffff0103")),
            {"5: bad 65535: MBAP length 65535" + ofLength}, 2);
        row("bad length after a frame", {reply1 + hex("000200000000") + reply2},
            {"0: " + frame1, "0: bad 0: MBAP length 0" + ofLength}, 0);
        row("a frame after a bad length", {hex("000200000000"), reply2},
            {"0: bad 0: MBAP length 0" + ofLength, "1: " + frame2}, 0);
        // The reader frames; the check judges protocol, transaction and unit.
        row("protocol and length big-endian", {hex("123401000003110304")},
            {"0: frame 4660 256 17 110304"}, 0);
    }

    void reader()
    {
        QFETCH(QList<QByteArray>, chunks);
        MbapReader reader;
        QTEST(readAll(reader, chunks), "seen");
        QTEST(int(reader.buffered()), "buffered");
    }

    void check_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("transactionId");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("reason");
        QTest::newRow("answers") << reply1 << 1 << 1 << QString();
        QTest::newRow("wrong transaction") << reply2 << 1 << 1 << "MBAP transaction 2, expected 1";
        QTest::newRow("wrong unit") << reply1 << 1 << 2 << "MBAP unit 1, expected 2";
        QTest::newRow("protocol 1")
            << hex("000100010003010300") << 1 << 1 << "MBAP protocol 1, not 0";
        // The first of several faults is named.
        QTest::newRow("protocol, transaction, unit")
            << hex("000900010003090300") << 1 << 1 << "MBAP protocol 1, not 0";
        QTest::newRow("transaction and unit")
            << hex("000900000003090300") << 1 << 1 << "MBAP transaction 9, expected 1";
    }

    void check()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, transactionId);
        QFETCH(int, unit);
        QFETCH(QString, reason);
        MbapReader reader;
        reader.feed(reply);
        const MbapRead read = reader.take();
        QVERIFY(std::holds_alternative<MbapFrame>(read));
        const MbapCheck checked =
            checkMbapReply(std::get<MbapFrame>(read), quint16(transactionId), quint8(unit));
        QCOMPARE(checked.ok, reason.isEmpty());
        QCOMPARE(checked.reason, reason);
    }
};

QTEST_GUILESS_MAIN(TestMbap)
#include "tst_mbap.moc"
