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
        // Rules and requests a blank apart; "read N times" is N reads of unit 1.
        const auto row = [](const char *name, const char *rules, const char *requests,
                            const char *picked) {
            QStringList list = QString::fromUtf8(requests).split(u' ');
            if (list.size() == 3 && list[0] == u"read")
                list = repeated(QStringLiteral("1:0300000001"), list[1].toInt());
            QTest::newRow(name) << QString::fromUtf8(rules).split(u' ') << list
                                << QString::fromUtf8(picked);
        };
        row("every third", "crc@every=3", "read 6 times", "- - 0 - - 0");
        row("after two", "silent@after=2", "read 4 times", "- - 0 0");
        row("twice at most", "silent@count=2", "read 4 times", "0 0 - -");
        row("after, every, count together", "silent@after=1,every=2,count=2", "read 8 times",
            "- - 0 - 0 - - -");
        row("units", "silent@unit=2/5-7",
            "1:0300000001 2:0300000001 5:0300000001 7:0300000001 8:0300000001", "- 0 0 0 -");
        row("function codes", "silent@fc=03/10",
            "1:0300000001 1:0400000001 1:100000000102FFFF 1:07", "0 - 0 -");
        // The places each request touches, at the range's ends: a read, a
        // write, a mask write, the write and the read of 17; none of 08 or of a
        // request cut short.
        row("places touched", "silent@addr=100-109",
            "1:030058000A 1:03005B000A 1:0600690001 1:06006E0001 1:16006D00F20025 "
            "1:16006E00F20025 1:1700000001006D00010200FF 1:1700640001000000010200FF 1:080000A537 "
            "1:03006401",
            "- 0 0 - 0 - 0 0 - -");
        row("every counts the requests that meet the rest", "crc@fc=03,every=2",
            "1:0300000001 1:0400000001 1:0300000001 1:0400000001 1:0300000001 1:0300000001",
            "- - 0 - - 0");
        row("rules count on their own", "exception=04@fc=03 crc@every=2",
            "1:0300000001 1:0400000001 1:0300000001 1:0400000001", "0 1 0 1");
        row("the first given wins", "silent@every=2 crc@every=2", "read 4 times", "- 0 - 0");
        row("count counts the times applied", "silent@count=1 crc@count=2", "read 4 times",
            "0 1 1 -");
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
