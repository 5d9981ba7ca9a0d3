// The replay book: a recorded device answered again from the monitor's JSON
// Lines. replay_bus.jsonl is a real capture, made once by record_bus.py in
// this folder: mbpoll (Debian's) as the master at 9600,n,8,1 and the libmodbus
// slave of the tests (tests/peers/rtu_slave.cpp) talking through a relay that
// copies the line into a pty where tallowick-monitor --json listened. It holds
// a read of holding registers 0-1 three times (5 0, then 5 7 after mbpoll
// wrote 7 to register 1), coils, an input register, the write's echo, an
// exception 02, a request to unit 2 left unanswered and a request with a
// wrong CRC. The expected replies are the slave's, as the capture has them.
#include "device/replay_book.h"

#include <QTest>

using namespace tallowick;

namespace {

ReplayBook capture()
{
    auto read = readReplay(QFINDTESTDATA("replay_bus.jsonl"));
    if (const auto *error = std::get_if<MapError>(&read))
        qFatal("%s", qPrintable(error->text));
    return std::get<ReplayBook>(std::move(read));
}

// "HEX after-us" for each reply, "none" for none.
QString told(const std::optional<ReplayedReply> &reply)
{
    if (!reply)
        return QStringLiteral("none");
    return QString::fromLatin1(reply->reply.toHex().toUpper()) + u' ' +
           QString::number(reply->after.count());
}

QStringList asked(ReplayBook &book, const QByteArray &requestHex, qsizetype times)
{
    QStringList replies;
    for (qsizetype i = 0; i < times; ++i)
        replies << told(book.replyTo(QByteArray::fromHex(requestHex)));
    return replies;
}

QByteArray line(const char *json)
{
    return QByteArray(json) + '\n';
}

// Two frames the capture has, as the monitor wrote them.
const QByteArray request1 =
    line(R"({"n":1,"bytes":"010300000002C40B","crc_ok":true,"role":"request"})");
const QByteArray reply2 = line(R"({"n":2,"bytes":"01030400050000EA32","crc_ok":true,)"
                               R"("role":"reply","reply_to":1,"response_us":1213})");

} // namespace

class TestReplayBook : public QObject
{
    Q_OBJECT
private slots:
    void capture_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QStringList>("replies");
        const auto row = [](const char *name, const char *request, QStringList replies) {
            QTest::newRow(name) << QByteArray(request) << replies;
        };
        row("recorded three times: in turn, then the first again", "010300000002C40B",
            {"01030400050000EA32 1213", "01030400050007ABF0 3301", "01030400050007ABF0 1341",
             "01030400050000EA32 1213"});
        row("coils", "0101000000083DCC", {"010101005188 1353", "010101005188 1353"});
        row("input register", "01040000000131CA", {"01040200057933 1418"});
        row("a write's echo", "01060001000799C8", {"01060001000799C8 4549"});
        row("an exception", "010300640001C5D5", {"018302C0F1 6374"});
        row("unit 2, recorded without a reply", "0203000000018439", {"none"});
        row("recorded with a wrong CRC, never answered", "0103000000010000", {"none"});
        row("the same request with its right CRC", "010300000001840A", {"none"});
        row("a booked request with a wrong CRC", "010300000002C40C", {"none"});
        row("a unit and a CRC alone", "01FFFF", {"none"});
    }
    void capture()
    {
        QFETCH(QByteArray, request);
        QFETCH(QStringList, replies);
        ReplayBook book = ::capture();
        QCOMPARE(book.requests(), 5);
        QCOMPARE(asked(book, request, replies.size()), replies);
    }

    // Modbus TCP asks by unit and PDU and gets the unit and PDU back; the
    // turns are the device's, whichever link asks.
    void modbusTcp()
    {
        ReplayBook book = ::capture();
        QCOMPARE(told(book.replyToPdu(1, QByteArray::fromHex("0300000002"))),
                 QStringLiteral("01030400050000 1213"));
        QCOMPARE(told(book.replyTo(QByteArray::fromHex("010300000002C40B"))),
                 QStringLiteral("01030400050007ABF0 3301"));
        QCOMPARE(told(book.replyToPdu(1, QByteArray::fromHex("0300000002"))),
                 QStringLiteral("01030400050007 1341"));
        QCOMPARE(told(book.replyToPdu(1, QByteArray::fromHex("0300640001"))),
                 QStringLiteral("018302 6374"));
        QCOMPARE(told(book.replyToPdu(2, QByteArray::fromHex("0300000001"))), u"none");
        QCOMPARE(told(book.replyToPdu(1, QByteArray::fromHex("03000000"))), u"none");
    }

    void recorded_data()
    {
        QTest::addColumn<QByteArray>("jsonLines");
        QTest::addColumn<QStringList>("replies"); // to 010300000002C40B
        const auto row = [](const char *name, const QByteArray &jsonLines, QStringList replies) {
            QTest::newRow(name) << jsonLines << replies;
        };
        row("a reply with a wrong CRC, as recorded",
            request1 + line(R"({"n":2,"bytes":"01030400050000EA33","crc_ok":false,)"
                            R"("role":"reply","reply_to":1,"response_us":80})"),
            {"01030400050000EA33 80"});
        row("a request first taken for an echo",
            QByteArray(request1).replace("request", "unknown") + reply2,
            {"01030400050000EA32 1213"});
        row("a reply whose request went by before the capture",
            line(R"({"n":1,"bytes":"01030400050000EA32","crc_ok":true,"role":"reply"})"), {"none"});
        row("a reply to a request with a wrong CRC",
            QByteArray(request1).replace("C40B", "C40C").replace("true", "false") + reply2,
            {"none"});
        row("a response time below zero is at once",
            request1 + QByteArray(reply2).replace("1213", "-40"), {"01030400050000EA32 0"});
        row("a second capture after the summary numbers from 1 again",
            request1 + reply2 + line(R"({"summary":{"frames":2}})") + request1 +
                QByteArray(reply2).replace("00EA32", "07ABF0"),
            {"01030400050000EA32 1213", "01030400050007ABF0 1213"});
        row("CRLF and blank lines", "\r\n" + request1.chopped(1) + "\r\n\r\n" + reply2,
            {"01030400050000EA32 1213"});
    }
    void recorded()
    {
        QFETCH(QByteArray, jsonLines);
        QFETCH(QStringList, replies);
        auto read = parseReplay(jsonLines, QStringLiteral("bus.jsonl"));
        QVERIFY(std::holds_alternative<ReplayBook>(read));
        QCOMPARE(asked(std::get<ReplayBook>(read), "010300000002C40B", replies.size()), replies);
    }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("jsonLines");
        QTest::addColumn<QString>("refusal");
        const auto row = [](const char *name, const QByteArray &jsonLines, const char *refusal) {
            QTest::newRow(name) << jsonLines << QString::fromUtf8(refusal);
        };
        row("not JSON", request1 + "{\"n\":2,\n",
            "bus.jsonl:2: not JSON (unterminated object at column 8)");
        row("not an object", request1 + "[1,2]\n", "bus.jsonl:2: not a JSON object");
        row("bytes not hexadecimal", QByteArray(request1).replace("C40B", "C40G"),
            "bus.jsonl:1: \"bytes\" is missing or not two hexadecimal digits a byte");
        row("bytes of an odd length", QByteArray(request1).replace("C40B", "C40"),
            "bus.jsonl:1: \"bytes\" is missing or not two hexadecimal digits a byte");
        row("role missing", QByteArray(request1).replace(R"(,"role":"request")", ""),
            "bus.jsonl:1: \"role\" is missing or not request, reply or unknown");
        row("n not upwards", request1 + request1,
            "bus.jsonl:2: \"n\" 1 after 1: a capture numbers its frames upwards");
        row("crc_ok against the bytes", QByteArray(request1).replace("true", "false"),
            "bus.jsonl:1: \"crc_ok\" is false, but the bytes say otherwise");
        row("reply_to pointing nowhere", request1 + QByteArray(reply2).replace("to\":1", "to\":7"),
            "bus.jsonl:2: \"reply_to\" 7 names no unanswered request before it");
        row("two replies to one request",
            request1 + reply2 + QByteArray(reply2).replace("\"n\":2", "\"n\":3"),
            "bus.jsonl:3: \"reply_to\" 1 names no unanswered request before it");
        row("a reply too short for a CRC",
            request1 + R"({"n":2,"bytes":"0103","crc_ok":false,"role":"reply",)"
                       R"("reply_to":1,"response_us":5})",
            "bus.jsonl:2: a reply of 2 bytes: a unit, a function and a CRC are 4");
    }
    void refusals()
    {
        QFETCH(QByteArray, jsonLines);
        QFETCH(QString, refusal);
        const auto read = parseReplay(jsonLines, QStringLiteral("bus.jsonl"));
        const auto *error = std::get_if<MapError>(&read);
        QVERIFY(error);
        QCOMPARE(error->text, refusal);
    }

    void unreadable_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("missing") << QStringLiteral("/nonexistent/bus.jsonl")
                                 << QStringLiteral("cannot read /nonexistent/bus.jsonl: No such "
                                                   "file or directory");
        QTest::newRow("a folder") << QStringLiteral("/")
                                  << QStringLiteral("cannot read /: file to open is a directory");
    }
    void unreadable()
    {
        QFETCH(QString, path);
        QFETCH(QString, refusal);
        const auto read = readReplay(path);
        const auto *error = std::get_if<MapError>(&read);
        QVERIFY(error);
        QCOMPARE(error->text, refusal);
    }
};

QTEST_APPLESS_MAIN(TestReplayBook)
#include "tst_replay_book.moc"
