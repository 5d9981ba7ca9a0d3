// RTU requests cut from a TCP stream by their functions' layouts, whatever
// pieces the stream brings them in.
#include "device/request_stream.h"

#include <QTest>

using namespace tallowick;

class TestRequestStream : public QObject
{
    Q_OBJECT
private slots:
    void cut_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArrayList>("requests");
        QTest::addColumn<QByteArray>("held");
        const QByteArray read = "010300000002C40B";
        const QByteArray write = "011000000002040001000223AE"; // its length in its byte count
        QTest::newRow("two in one write")
            << QByteArrayList{read + write} << QByteArrayList{read, write} << QByteArray();
        QTest::newRow("one in three pieces") << QByteArrayList{"0110", "000000020400", "01000223AE"}
                                             << QByteArrayList{write} << QByteArray();
        QTest::newRow("half a frame waits")
            << QByteArrayList{read + "0103"} << QByteArrayList{read} << QByteArray("0103");
        QTest::newRow("no layout: taken as it came")
            << QByteArrayList{"01410203"} << QByteArrayList{"01410203"} << QByteArray();
    }
    void cut()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArrayList, requests);
        QFETCH(QByteArray, held);
        RtuRequestStream stream;
        QByteArrayList taken;
        for (const QByteArray &piece : pieces) {
            stream.feed(QByteArray::fromHex(piece));
            while (const auto request = stream.take())
                taken += request->toHex().toUpper();
        }
        QCOMPARE(taken, requests);
        QCOMPARE(stream.held().toHex().toUpper(), held);
    }
};

QTEST_APPLESS_MAIN(TestRequestStream)
#include "tst_request_stream.moc"
