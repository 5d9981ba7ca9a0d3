// What the device makes of a request on each kind of link: whether it is its
// own, the reply as it goes on the link, what the rules change, what it
// writes. Request and reply frames, CRCs included, were written out by hand
// from the Modbus application protocol and checked with an independent
// CRC-16/MODBUS (a few lines of Python), not with this code.
#include "device/device_core.h"
#include "device/map_file.h"

#include <QTest>

using namespace tallowick;
using namespace std::chrono_literals;

namespace {

// holding 0 = 7, 1 = 42, 10 = 0 (written by the rows), 20 = 9 read only.
const QByteArray mapCsv = "table,address,type,value,access\r\n"
                          "holding,0,u16,7,rw\r\n"
                          "holding,1,u16,42,rw\r\n"
                          "holding,10,u16,0,rw\r\n"
                          "holding,20,u16,9,r\r\n";

DeviceCore core(const QString &units, const QStringList &ruleTexts, bool withMap,
                std::optional<std::chrono::milliseconds> delay = std::nullopt)
{
    std::vector<FaultRule> rules;
    for (const QString &text : ruleTexts)
        rules.push_back(std::get<FaultRule>(parseFaultRule(text)));
    DeviceCore::Setup setup;
    setup.units = std::get<UnitList>(parseUnitList(units));
    setup.delay = delay;
    setup.withMap = withMap;
    return DeviceCore(withMap ? std::get<DeviceMap>(parseMap(mapCsv, QStringLiteral("map.csv")))
                              : DeviceMap(),
                      setup, FaultRules(std::move(rules), 1));
}

} // namespace

Q_DECLARE_METATYPE(LinkKind)

class TestDeviceCore : public QObject
{
    Q_OBJECT
private slots:
    void served_data()
    {
        QTest::addColumn<QString>("units");
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<LinkKind>("kind");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("reply"); // "-": none
        QTest::addColumn<int>("holding10");    // after the request
        const auto rtu = LinkKind::Serial;
        const auto mbap = LinkKind::Mbap;
        const QStringList none;
        const auto row = [](const char *name, const char *units, const QStringList &rules,
                            LinkKind kind, const char *request, const char *result,
                            const char *reply, int holding10 = 0) {
            QTest::newRow(name) << QString::fromLatin1(units) << rules << kind
                                << QByteArray(request) << QString::fromLatin1(result)
                                << QByteArray(reply) << holding10;
        };
        row("read", "1", none, rtu, "010300000002C40B", "answered", "0103040007002ACA2D");
        row("read over TCP as RTU", "1", none, LinkKind::RtuOverTcp, "010300000002C40B", "answered",
            "0103040007002ACA2D");
        row("wrong CRC", "1", none, rtu, "010300000002C40C", "bad-crc", "-");
        row("noise shorter than a CRC", "1", none, rtu, "0103C4", "too-short", "-");
        row("another unit", "1", none, rtu, "0203000000018439", "ignored", "-");
        row("one of a range", "1,5-7", none, rtu, "050300000001858E", "answered", "05030200070846");
        row("broadcast write applied", "1", none, rtu, "0006000A0063E830", "broadcast", "-", 99);
        row("broadcast read", "1", none, rtu, "00030000000185DB", "broadcast", "-");
        row("cut short", "1", none, rtu, "01030000F1D8", "too-short", "-");
        row("too long", "1", none, rtu, "010300000001000A63", "too-long", "-");
        row("write", "1", none, rtu, "0106000A0063E9E1", "answered", "0106000A0063E9E1", 99);
        row("write to a read-only register", "1", none, rtu, "010600140001080E", "exception",
            "018602C3A1");
        row("Modbus TCP", "1", none, mbap, "000100000006010300000001", "answered",
            "0001000000050103020007");
        row("Modbus TCP unit 255 is the device", "1", none, mbap, "002A00000006FF0300000001",
            "answered", "002A00000005FF03020007");
        row("Modbus TCP unit 0 is the device", "9", none, mbap, "000100000006000300000001",
            "answered", "0001000000050003020007");
        row("Modbus TCP another unit", "1", none, mbap, "000100000006070300000001", "ignored", "-");
        row("Modbus TCP another protocol", "1", none, mbap, "000100010006010300000001", "ignored",
            "-");
        row("exception rule keeps the write back", "1", {"exception=04@fc=06"}, rtu,
            "0106000A0063E9E1", "exception", "01860443A3", 0);
        row("exception rule for another function", "1", {"exception=04@fc=03"}, rtu,
            "0106000A0063E9E1", "answered", "0106000A0063E9E1", 99);
        row("silent still writes", "1", {"silent"}, rtu, "0106000A0063E9E1", "silent", "-", 99);
        row("close on Modbus TCP", "1", {"close"}, mbap, "000100000006010300000001", "closed", "-");
        row("close on a line is silence", "1", {"close"}, rtu, "010300000002C40B", "silent", "-");
        row("crc", "1", {"crc"}, rtu, "010300000002C40B", "answered", "0103040007002A35D2");
        row("wrong-unit", "1", {"wrong-unit"}, rtu, "010300000002C40B", "answered",
            "0203040007002AF92D");
        row("tid", "1", {"tid"}, mbap, "000100000006010300000001", "answered",
            "0002000000050103020007");
        row("truncate counts the header", "1", {"truncate=3"}, mbap, "000100000006010300000001",
            "answered", "000100");
        row("the first rule of two", "1", {"crc@unit=2", "wrong-unit@unit=1"}, rtu,
            "010300000002C40B", "answered", "0203040007002AF92D");
        row("no rule for another unit's request", "1", {"silent"}, rtu, "0203000000018439",
            "ignored", "-");
    }
    void served()
    {
        QFETCH(QString, units);
        QFETCH(QStringList, rules);
        QFETCH(LinkKind, kind);
        QFETCH(QByteArray, request);
        QFETCH(QString, result);
        QFETCH(QByteArray, reply);
        QFETCH(int, holding10);
        DeviceCore device = core(units, rules, true);
        const ServedRequest served = device.serve(kind, QByteArray::fromHex(request));
        QCOMPARE(resultName(served.result), result);
        QCOMPARE(served.plan.reply ? served.plan.reply->toHex().toUpper() : QByteArray("-"), reply);
        QCOMPARE(int(device.map().value(Table::Holding, 10)), holding10);
        QCOMPARE(served.plan.close, result == u"closed");
    }

    void waits_data()
    {
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<int>("delayMs"); // --delay; -1 not given
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<int>("gapMs");
        QTest::addColumn<int>("gapAfter");
        QTest::newRow("at once") << QStringList() << -1 << 0 << 0 << 0;
        QTest::newRow("--delay") << QStringList() << 20 << 20 << 0 << 0;
        QTest::newRow("a delay rule replaces --delay")
            << QStringList{"delay=250"} << 20 << 250 << 0 << 0;
        QTest::newRow("a gap inside the reply") << QStringList{"gap=5:2"} << 20 << 20 << 5 << 2;
    }
    void waits()
    {
        QFETCH(QStringList, rules);
        QFETCH(int, delayMs);
        QFETCH(int, waitMs);
        QFETCH(int, gapMs);
        QFETCH(int, gapAfter);
        DeviceCore device =
            core(QStringLiteral("1"), rules, true,
                 delayMs < 0 ? std::nullopt : std::optional(std::chrono::milliseconds(delayMs)));
        const ServedRequest served =
            device.serve(LinkKind::Serial, QByteArray::fromHex("010300000002C40B"));
        QCOMPARE(served.plan.wait, std::chrono::microseconds(std::chrono::milliseconds(waitMs)));
        QCOMPARE(served.plan.gap, std::chrono::milliseconds(gapMs));
        QCOMPARE(served.plan.gapAfter, gapAfter);
    }

    // "-" as the map: every read and write is an illegal data address, and
    // the echo of 08 still answers.
    void withoutMap_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("read") << QByteArray("010300000002C40B") << QByteArray("018302C0F1");
        QTest::newRow("write") << QByteArray("0106000A0063E9E1") << QByteArray("018602C3A1");
        QTest::newRow("echo") << QByteArray("010800001234ED7C") << QByteArray("010800001234ED7C");
    }
    void withoutMap()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        DeviceCore device = core(QStringLiteral("1"), {}, false);
        const ServedRequest served = device.serve(LinkKind::Serial, QByteArray::fromHex(request));
        QCOMPARE(served.plan.reply.value_or(QByteArray()).toHex().toUpper(), reply);
    }

    void unitLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("taken");
        QTest::newRow("one") << "1" << true;
        QTest::newRow("list and range") << "1,5-7,255" << true;
        QTest::newRow("broadcast is no unit") << "0" << false;
        QTest::newRow("past 255") << "256" << false;
        QTest::newRow("range backwards") << "7-5" << false;
        QTest::newRow("empty item") << "1,,2" << false;
        QTest::newRow("blank") << " 1" << false;
    }
    void unitLists()
    {
        QFETCH(QString, text);
        QFETCH(bool, taken);
        QCOMPARE(std::holds_alternative<UnitList>(parseUnitList(text)), taken);
    }
};

QTEST_APPLESS_MAIN(TestDeviceCore)
#include "tst_device_core.moc"
