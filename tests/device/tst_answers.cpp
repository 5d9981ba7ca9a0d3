// The device's answers. The requests, replies and the device's data before
// and after each come from the examples of the Modbus application protocol
// (its published request/response pairs, in the order of its functions);
// the exceptions follow its checking order (function, then count and byte
// count, then address). Each row is also put to libmodbus's slave on the
// same data, which must give the same reply and leave the same data, except
// where a row says it does not (libmodbus knows no read-only places and no
// function 08, and leaves 07 unanswered).
#include "device/answers.h"
#include "device/map_file.h"

#include <QTest>

#include <modbus.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace tallowick;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Map rows for bits given as "1011...", one place each from `first`.
QByteArray bitRows(const char *table, int first, const char *bits)
{
    QByteArray rows;
    for (int i = 0; bits[i]; ++i)
        rows += QByteArray(table) + ',' + QByteArray::number(first + i) + ",bit," + bits[i] + '\n';
    return rows;
}

DeviceMap mapOf(const QByteArray &rows)
{
    MapRead read = parseMap("table,address,type,value,access\n" + rows, QStringLiteral("test.csv"));
    if (const auto *error = std::get_if<MapError>(&read))
        qFatal("%s", qPrintable(error->text));
    return std::move(std::get<DeviceMap>(read));
}

QString replyOf(DeviceMap &map, const QByteArray &request)
{
    const Answer answer = tallowick::answer(map, request);
    if (const auto *malformed = std::get_if<MalformedRequest>(&answer))
        return malformed->reason == MalformedRequest::TooShort ? QStringLiteral("too short")
                                                               : QStringLiteral("too long");
    return QString::fromLatin1(std::get<QByteArray>(answer).toHex().toUpper());
}

QString places(const DeviceMap &map, Table table, int first, int count)
{
    QStringList text;
    for (int a = first; a < first + count; ++a)
        text << QStringLiteral("%1").arg(map.value(table, quint16(a)), 4, 16, QLatin1Char('0'));
    return text.join(u' ');
}

// libmodbus's slave with a mapping of each table from its first defined place
// to its last, holding what the map holds; it answers over one end of a
// socket pair as over TCP, and the reply is read from the other end.
class LibmodbusSlave
{
public:
    explicit LibmodbusSlave(const DeviceMap &map)
    {
        for (const MapRow &row : map.rows()) {
            Span &span = m_spans[std::size_t(row.table)];
            span.first = span.count == 0 ? row.first : qMin(span.first, int(row.first));
            const int end = qMax(span.first + span.count, row.last + 1);
            span.count = end - span.first;
        }
        const auto &[coils, discrete, holding, input] = m_spans;
        m_mapping = modbus_mapping_new_start_address(coils.first, coils.count, discrete.first,
                                                     discrete.count, holding.first, holding.count,
                                                     input.first, input.count);
        for (int t = 0; t < 4; ++t) {
            for (int i = 0; i < m_spans[t].count; ++i)
                place(Table(t), i) = map.value(Table(t), quint16(m_spans[t].first + i));
        }
        m_context = modbus_new_tcp("127.0.0.1", 502);
        socketpair(AF_UNIX, SOCK_STREAM, 0, m_sockets);
        modbus_set_socket(m_context, m_sockets[0]);
        // libmodbus waits this long before an exception 03, to let the rest
        // of a bad frame arrive; here there is none.
        modbus_set_response_timeout(m_context, 0, 1);
    }
    ~LibmodbusSlave()
    {
        modbus_free(m_context);
        modbus_mapping_free(m_mapping);
        ::close(m_sockets[0]);
        ::close(m_sockets[1]);
    }
    LibmodbusSlave(const LibmodbusSlave &) = delete;
    LibmodbusSlave &operator=(const LibmodbusSlave &) = delete;

    // The reply PDU in hexadecimal, "none" when libmodbus sends nothing.
    QString reply(const QByteArray &pdu)
    {
        QByteArray request = QByteArray::fromHex("00010000") + char(0) + char(pdu.size() + 1);
        request += char(1) + pdu;
        if (modbus_reply(m_context, reinterpret_cast<const uint8_t *>(request.constData()),
                         int(request.size()), m_mapping) < 0)
            return QStringLiteral("none");
        char buffer[300];
        const auto size = ::recv(m_sockets[1], buffer, sizeof buffer, MSG_DONTWAIT);
        if (size < 8)
            return QStringLiteral("none");
        return QString::fromLatin1(QByteArray(buffer + 7, size - 7).toHex().toUpper());
    }

    // The first place of the tables where libmodbus holds another value than
    // the map, or nothing.
    std::optional<QString> differsFrom(const DeviceMap &map)
    {
        for (int t = 0; t < 4; ++t) {
            for (int i = 0; i < m_spans[t].count; ++i) {
                const auto address = quint16(m_spans[t].first + i);
                if (place(Table(t), i) != map.value(Table(t), address))
                    return QStringLiteral("%1 %2").arg(tableName(Table(t))).arg(address);
            }
        }
        return std::nullopt;
    }

private:
    struct Span
    {
        int first = 0;
        int count = 0;
    };
    // A bit is a byte of 0 or 1 in libmodbus's mapping.
    struct Place
    {
        uint8_t *bit = nullptr;
        uint16_t *word = nullptr;
        Place &operator=(quint16 value)
        {
            if (bit)
                *bit = uint8_t(value);
            else
                *word = value;
            return *this;
        }
        bool operator!=(quint16 value) const { return (bit ? *bit : *word) != value; }
    };
    Place place(Table table, int index)
    {
        switch (table) {
        case Table::Coil:
            return {m_mapping->tab_bits + index, nullptr};
        case Table::Discrete:
            return {m_mapping->tab_input_bits + index, nullptr};
        case Table::Holding:
            return {nullptr, m_mapping->tab_registers + index};
        case Table::Input:
            break;
        }
        return {nullptr, m_mapping->tab_input_registers + index};
    }

    std::array<Span, 4> m_spans{};
    modbus_mapping_t *m_mapping = nullptr;
    modbus_t *m_context = nullptr;
    int m_sockets[2] = {-1, -1};
};

// The row's request answered by the map, and by libmodbus on the same data
// where `peerAgrees`: the same reply, the same data after it.
void checkAnswer(const QByteArray &rows, const QByteArray &request, const QString &reply,
                 bool peerAgrees, DeviceMap &map)
{
    map = mapOf(rows);
    LibmodbusSlave peer(map);
    QCOMPARE(replyOf(map, request), reply);
    if (!peerAgrees)
        return;
    QCOMPARE(peer.reply(request), reply);
    QCOMPARE(peer.differsFrom(map), std::optional<QString>());
}

// For the exceptions: ten places of each table, and one more of coils and
// holding registers that masters may only read.
const QByteArray exceptionMap = "coil,0-9,bit,0\ncoil,10,bit,0,r\ndiscrete,0-9,bit,1\n"
                                "holding,0-9,u16,0\nholding,10,u16,0,r\ninput,0-9,u16,0\n";

} // namespace

class TestAnswers : public QObject
{
    Q_OBJECT
private slots:
    void publishedExamples_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("reply");
        // What the request leaves in the map: table, first place, the places.
        QTest::addColumn<int>("table");
        QTest::addColumn<int>("first");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("peer"); // libmodbus answers the same
        // Reads leave the map as it was: no table, no places after.
        const auto row = [](const char *name, const QByteArray &rows, const char *request,
                            const char *reply, Table table = {}, int first = 0,
                            const char *after = "", bool peer = true) {
            QTest::newRow(name) << rows << hex(request) << QString::fromUtf8(reply) << int(table)
                                << first << QString::fromUtf8(after) << peer;
        };
        row("01 read coils 20-38", bitRows("coil", 19, "1011001111010110101"), "0100130013",
            "0103CD6B05");
        row("02 read discrete inputs 197-218", bitRows("discrete", 196, "0011010111011011101011"),
            "0200C40016", "0203ACDB35");
        row("03 read holding registers 108-110",
            "holding,107,u16,0x022B\nholding,108,u16,0\nholding,109,u16,100\n", "03006B0003",
            "0306022B00000064");
        row("04 read input register 9", "input,8,u16,10\n", "0400080001", "0402000A");
        row("05 write coil 173 on", "coil,172,bit,0\n", "0500ACFF00", "0500ACFF00", Table::Coil,
            172, "0001");
        row("06 write register 2", "holding,1,u16,0\n", "0600010003", "0600010003", Table::Holding,
            1, "0003");
        row("0F write coils 20-29", "coil,19-28,bit,0\n", "0F0013000A02CD01", "0F0013000A",
            Table::Coil, 19, "0001 0000 0001 0001 0000 0000 0001 0001 0001 0000");
        row("10 write registers 2-3", "holding,1-2,u16,0\n", "100001000204000A0102", "1000010002",
            Table::Holding, 1, "000a 0102");
        row("16 mask write register 5", "holding,4,u16,0x12\n", "16000400F20025", "16000400F20025",
            Table::Holding, 4, "0017");
        row("17 write registers 15-17, then read 4-9",
            "holding,3,u16,0xFE\nholding,4,u16,0xACD\nholding,5,u16,1\nholding,6,u16,3\n"
            "holding,7,u16,13\nholding,8,u16,255\nholding,14-16,u16,0\n",
            "1700030006000E00030600FF00FF00FF", "170C00FE0ACD00010003000D00FF", Table::Holding, 14,
            "00ff 00ff 00ff");
        row("17 the write comes before the read", "holding,0-1,u16,0\n", "170000000200010001021234",
            "170400001234", Table::Holding, 0, "0000 1234");
        row("08 00 echoes the data", "", "080000A537", "080000A537", {}, 0, "", false);
    }
    void publishedExamples()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QByteArray, request);
        QFETCH(QString, reply);
        QFETCH(int, table);
        QFETCH(int, first);
        QFETCH(QString, after);
        QFETCH(bool, peer);
        DeviceMap map;
        checkAnswer(rows, request, reply, peer, map);
        if (!QTest::currentTestFailed() && !after.isEmpty())
            QCOMPARE(places(map, Table(table), first, int(after.count(u' ') + 1)), after);
    }

    void exceptions_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("peer"); // libmodbus answers the same
        // libmodbus sends nothing to 07.
        const auto row = [](const char *name, const QByteArray &request, const char *reply,
                            bool peer) {
            QTest::newRow(name) << request << QString::fromUtf8(reply) << peer;
        };
        row("07 is not answered", hex("07"), "8701", false);
        row("2B is not answered", hex("2B0E0100"), "AB01", true);
        row("08 sub-function 01", hex("0800010000"), "8801", true);
        row("01 count 0", hex("0100000000"), "8103", true);
        row("01 count 2001", hex("01000007D1"), "8103", true);
        row("01 count 2000, past the map", hex("01000007D0"), "8102", true);
        row("03 count 126", hex("030000007E"), "8303", true);
        row("03 partly outside", hex("03000A0002"), "8302", true);
        row("03 of an r register reads", hex("03000A0001"), "03020000", true);
        row("04 past 65535", hex("04FFFF0002"), "8402", true);
        row("05 value 0001", hex("0500000001"), "8503", true);
        row("05 value 00FF", hex("05000000FF"), "8503", true);
        row("05 value 0000", hex("0500000000"), "0500000000", true);
        row("05 an r coil", hex("05000AFF00"), "8502", false);
        row("05 outside", hex("05000BFF00"), "8502", true);
        row("06 an r register", hex("06000A0001"), "8602", false);
        row("06 outside", hex("06FFFF0001"), "8602", true);
        row("0F count 0", hex("0F0000000000"), "8F03", true);
        row("0F count 1969", hex("0F000007B1F7") + QByteArray(0xF7, '\0'), "8F03", true);
        row("0F byte count short of the count", hex("0F0000000A0100"), "8F03", true);
        row("0F eight coils in one byte", hex("0F0000000801FF"), "0F00000008", true);
        row("0F onto an r coil", hex("0F0009000201FF"), "8F02", false);
        row("10 count 124", hex("100000007C020000"), "9003", true);
        row("10 byte count not twice the count", hex("10000000010400000000"), "9003", true);
        row("10 onto an r register", hex("100009000204FFFFFFFF"), "9002", false);
        row("16 an r register", hex("16000AFFFF0000"), "9602", false);
        row("16 outside", hex("16000BFFFF0000"), "9602", true);
        row("17 read count 126", hex("170000007E00000001020000"), "9703", true);
        row("17 write count 122", hex("17000000010000007A020000"), "9703", true);
        row("17 byte count not twice the write count", hex("1700000001000000010400000000"), "9703",
            true);
        row("17 writes an r register", hex("17000000010009000204FFFFFFFF"), "9702", false);
        row("17 reads outside", hex("17001400010000000102FFFF"), "9702", true);
    }
    void exceptions()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, reply);
        QFETCH(bool, peer);
        DeviceMap map;
        checkAnswer(exceptionMap, request, reply, peer, map);
        // A refused request changes nothing.
        if (reply.size() == 4 && reply[0] >= u'8')
            QCOMPARE(places(map, Table::Holding, 0, 11),
                     places(mapOf(exceptionMap), Table::Holding, 0, 11));
    }

    void noMapAnswersIllegalAddress()
    {
        DeviceMap map;
        QCOMPARE(replyOf(map, hex("0300000001")), QStringLiteral("8302"));
        QCOMPARE(replyOf(map, hex("0F0000000101FF")), QStringLiteral("8F02"));
    }

    void malformed_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("result");
        const auto row = [](const char *name, const QByteArray &request, const char *result) {
            QTest::newRow(name) << request << QString::fromUtf8(result);
        };
        row("nothing", QByteArray(), "too short");
        row("03 a byte short", hex("03000000"), "too short");
        row("03 a byte long", hex("0300000001FF"), "too long");
        row("08 without sub-function", hex("0800"), "too short");
        row("0F fewer data than its byte count", hex("0F0000000A02CD"), "too short");
        row("10 more data than its byte count", hex("100000000102000000"), "too long");
        row("16 without its or mask", hex("16000400F2"), "too short");
        row("08 echo longer than a PDU", hex("080000") + QByteArray(251, 'x'), "too long");
        row("17 without its byte count", hex("170000000100000001"), "too short");
    }
    void malformed()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, result);
        DeviceMap map = mapOf(exceptionMap);
        QCOMPARE(replyOf(map, request), result);
    }
};

QTEST_APPLESS_MAIN(TestAnswers)
#include "tst_answers.moc"
