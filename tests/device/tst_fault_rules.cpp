// Which rule a run of requests meets: the counting conditions count only the
// requests that meet a rule's unit, fc and addr, the first rule given wins,
// and p=P is drawn from the seed, the same every run.
#include "device/fault_rules.h"

#include <QTest>

using namespace tallowick;

namespace {

std::vector<FaultRule> rulesOf(const QStringList &texts)
{
    std::vector<FaultRule> rules;
    for (const QString &text : texts)
        rules.push_back(std::get<FaultRule>(parseFaultRule(text)));
    return rules;
}

// Requests written "unit:PDU", e.g. "1:0300640001"; the picks as the rules'
// indexes, "-" where none applied.
QString pickedBy(FaultRules &rules, const QStringList &requests)
{
    QStringList seen;
    for (const QString &request : requests) {
        const QByteArray pdu = QByteArray::fromHex(request.section(u':', 1).toLatin1());
        const auto pick = rules.pick(
            {quint8(request.section(u':', 0, 0).toUInt()), quint8(pdu[0]), requestAddresses(pdu)});
        seen << (pick ? QString::number(*pick) : QStringLiteral("-"));
    }
    return seen.join(u' ');
}

QStringList repeated(const QString &request, int times)
{
    QStringList list;
    for (int i = 0; i < times; ++i)
        list << request;
    return list;
}

} // namespace

class TestFaultRules : public QObject
{
    Q_OBJECT
private slots:
    void picks_data()
    {
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QString>("picked");
        const QString read = QStringLiteral("1:0300000001");
        QTest::newRow("every third")
            << QStringList{"crc@every=3"} << repeated(read, 6) << "- - 0 - - 0";
        QTest::newRow("after two")
            << QStringList{"silent@after=2"} << repeated(read, 4) << "- - 0 0";
        QTest::newRow("twice at most")
            << QStringList{"silent@count=2"} << repeated(read, 4) << "0 0 - -";
        QTest::newRow("after, every, count together")
            << QStringList{"silent@after=1,every=2,count=2"} << repeated(read, 8)
            << "- - 0 - 0 - - -";
        QTest::newRow("units") << QStringList{"silent@unit=2/5-7"}
                               << QStringList{"1:0300000001", "2:0300000001", "5:0300000001",
                                              "7:0300000001", "8:0300000001"}
                               << "- 0 0 0 -";
        QTest::newRow("function codes")
            << QStringList{"silent@fc=03/10"}
            << QStringList{"1:0300000001", "1:0400000001", "1:100000000102FFFF", "1:07"}
            << "0 - 0 -";
        QTest::newRow("places touched")
            << QStringList{"silent@addr=100-109"} << QStringList{"1:030058000A",
                                                                 "1:03005B000A",
                                                                 "1:0600690001",
                                                                 "1:06006E0001",
                                                                 "1:1700000001006D00010200FF",
                                                                 "1:080000A537"}
            << "- 0 0 - 0 -";
        QTest::newRow("every counts the requests that meet the rest")
            << QStringList{"crc@fc=03,every=2"}
            << QStringList{"1:0300000001", "1:0400000001", "1:0300000001",
                           "1:0400000001", "1:0300000001", "1:0300000001"}
            << "- - 0 - - 0";
        QTest::newRow("rules count on their own")
            << QStringList{"exception=04@fc=03", "crc@every=2"}
            << QStringList{"1:0300000001", "1:0400000001", "1:0300000001", "1:0400000001"}
            << "0 1 0 1";
        QTest::newRow("the first given wins")
            << QStringList{"silent@every=2", "crc@every=2"} << repeated(read, 4) << "- 0 - 0";
        QTest::newRow("count counts the times applied")
            << QStringList{"silent@count=1", "crc@count=2"} << repeated(read, 4) << "0 1 1 -";
    }
    void picks()
    {
        QFETCH(QStringList, rules);
        QFETCH(QStringList, requests);
        QFETCH(QString, picked);
        FaultRules faults(rulesOf(rules), 1);
        QCOMPARE(pickedBy(faults, requests), picked);
    }

    // The seed makes a run repeatable: the same seed, the same choices; a
    // rule added at the end leaves them; another seed makes others. About
    // the share asked for is taken (1000 draws at 0.3: 300 +- 5 deviations).
    void probabilityFromTheSeed()
    {
        const QStringList requests = repeated(QStringLiteral("1:0300000001"), 1000);
        FaultRules first(rulesOf({"delay=1@p=0.3"}), 42);
        FaultRules again(rulesOf({"delay=1@p=0.3", "crc@unit=9"}), 42);
        FaultRules other(rulesOf({"delay=1@p=0.3"}), 43);
        const QString picked = pickedBy(first, requests);
        QCOMPARE(pickedBy(again, requests), picked);
        QVERIFY(pickedBy(other, requests) != picked);
        QVERIFY2(first.applied(0) > 228 && first.applied(0) < 372,
                 qPrintable(QString::number(first.applied(0))));
        QCOMPARE(qsizetype(first.applied(0)), picked.count(u'0'));
    }
};

QTEST_APPLESS_MAIN(TestFaultRules)
#include "tst_fault_rules.moc"
