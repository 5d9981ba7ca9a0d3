// One JSON object a line: what it writes is read back by Qt's own JSON reader,
// an independent parser, for text that must be escaped and the values every
// record holds.
#include "log/json_line.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace tallowick;

class TestJsonLine : public QObject
{
    Q_OBJECT
private slots:
    void textReadBack_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("quote and backslash") << QStringLiteral("a\"b\\c");
        QTest::newRow("control characters") << QStringLiteral("tab\there\nnew\x01one");
        QTest::newRow("beyond ASCII") << QStringLiteral("傳送CMD1： > é");
        QTest::newRow("empty") << QString();
    }

    void textReadBack()
    {
        QFETCH(QString, value);
        const QByteArray line = JsonLine().text("t", value).line();
        QVERIFY(line.endsWith("}\n"));
        QCOMPARE(line.count('\n'), 1);
        QJsonParseError error{};
        const QJsonObject read = QJsonDocument::fromJson(line, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(read.value("t").toString(), value);
    }

    void valuesInOrder()
    {
        ResponseTimes none;
        QCOMPARE(JsonLine()
                     .number("n", 7)
                     .number("gap", std::nullopt)
                     .boolean("ok", false)
                     .bytes("bytes", QByteArray::fromHex("01ff0a"))
                     .bytesOrNull("reply", std::nullopt)
                     .responseTimes("response_us", none)
                     .object("inner", JsonLine().number("min", -1))
                     .line(),
                 QByteArray("{\"n\":7,\"gap\":null,\"ok\":false,\"bytes\":\"01FF0A\","
                            "\"reply\":null,\"response_us\":null,\"inner\":{\"min\":-1}}\n"));
    }
};

QTEST_GUILESS_MAIN(TestJsonLine)
#include "tst_json_line.moc"
