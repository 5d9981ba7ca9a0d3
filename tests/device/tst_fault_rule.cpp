// The --fault rules as written: every action and condition read into its
// value, and every kind of mistake refused with its reason.
#include "device/fault_rule.h"

#include <QTest>

using namespace tallowick;

namespace {

QString spans(const char *name, const std::vector<NumberSpan> &list, int base)
{
    if (list.empty())
        return QString();
    QStringList items;
    for (const NumberSpan &span : list) {
        items << QString::number(span.first, base) +
                     (span.last == span.first ? QString()
                                              : u'-' + QString::number(span.last, base));
    }
    return QStringLiteral(" %1=%2").arg(QLatin1StringView(name), items.join(u'/'));
}

// The rule's value, written out again in the order of its fields.
QString described(const FaultRule &rule)
{
    const FaultAction &a = rule.action;
    QString text = QStringLiteral("kind %1 delay %2 code %3 bytes %4 extra %5")
                       .arg(a.kind)
                       .arg(a.delay.count())
                       .arg(a.exceptionCode)
                       .arg(a.bytes)
                       .arg(QString::fromLatin1(a.extra.toHex()));
    text += spans("unit", rule.units, 10) + spans("fc", rule.functions, 16) +
            spans("addr", rule.addresses, 10);
    text += QStringLiteral(" every %1 after %2").arg(rule.every).arg(rule.after);
    if (rule.probability)
        text += QStringLiteral(" p %1").arg(*rule.probability);
    if (rule.count)
        text += QStringLiteral(" count %1").arg(*rule.count);
    return text;
}

// A row of either table: the rule as written, then its value or refusal.
void row(const char *name, const char *rule, const char *result)
{
    QTest::newRow(name) << QString::fromUtf8(rule) << QString::fromUtf8(result);
}

} // namespace

class TestFaultRule : public QObject
{
    Q_OBJECT
private slots:
    void reads_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("value");
        row("crc every tenth", "crc@every=10",
            "kind 3 delay 0 code 0 bytes 0 extra  every 10 after 0");
        row("exception on reads of a range", "exception=04@fc=03,addr=100-109",
            "kind 1 delay 0 code 4 bytes 0 extra  fc=3 addr=100-109 every 1 after 0");
        row("delay with a probability", "delay=250@p=0.1",
            "kind 0 delay 250 code 0 bytes 0 extra  every 1 after 0 p 0.1");
        row("silent", "silent", "kind 2 delay 0 code 0 bytes 0 extra  every 1 after 0");
        row("truncate", "truncate=3", "kind 4 delay 0 code 0 bytes 3 extra  every 1 after 0");
        row("wrong-unit, lists of units", "wrong-unit@unit=1/5-7",
            "kind 5 delay 0 code 0 bytes 0 extra  unit=1/5-7 every 1 after 0");
        row("wrong-function", "wrong-function@fc=10/0f-17",
            "kind 6 delay 0 code 0 bytes 0 extra  fc=10/f-17 every 1 after 0");
        row("extra", "extra=00fF", "kind 7 delay 0 code 0 bytes 0 extra 00ff every 1 after 0");
        row("gap", "gap=20:3", "kind 8 delay 20 code 0 bytes 3 extra  every 1 after 0");
        row("tid after, count", "tid@after=5,count=2",
            "kind 9 delay 0 code 0 bytes 0 extra  every 1 after 5 count 2");
        row("close with p=1", "close@p=1",
            "kind 10 delay 0 code 0 bytes 0 extra  every 1 after 0 p 1");
        row("exception FF", "exception=FF",
            "kind 1 delay 0 code 255 bytes 0 extra  every 1 after 0");
    }
    void reads()
    {
        QFETCH(QString, rule);
        QFETCH(QString, value);
        const auto parsed = parseFaultRule(rule);
        if (const auto *refusal = std::get_if<QString>(&parsed))
            QFAIL(qPrintable(*refusal));
        QCOMPARE(described(std::get<FaultRule>(parsed)), value);
        QCOMPARE(std::get<FaultRule>(parsed).text, rule);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("refusal");
        row("unknown action", "crc16",
            "\"crc16\": \"crc16\" is not an action (delay=MS, exception=CC, silent, crc, "
            "truncate=N, wrong-unit, wrong-function, extra=HEX, gap=MS:K, tid, close)");
        row("value on a plain action", "silent=1", "\"silent=1\": silent takes no value");
        row("delay too long", "delay=3600001",
            "\"delay=3600001\": delay=MS takes 0 to 3600000 ms, not \"3600001\"");
        row("exception 00", "exception=00",
            "\"exception=00\": exception=CC takes two hexadecimal digits, 01 to FF, not \"00\"");
        row("truncate 0", "truncate=0",
            "\"truncate=0\": truncate=N takes 1 to 259 bytes, not \"0\"");
        row("extra odd", "extra=ABC",
            "\"extra=ABC\": extra=HEX takes 1 to 256 bytes in hexadecimal, not \"ABC\"");
        row("gap without K", "gap=20",
            "\"gap=20\": gap=MS:K takes a silence of 1 to 3600000 ms after byte K (1 to 259), not "
            "\"20\"");
        row("unknown condition", "crc@evry=10",
            "\"crc@evry=10\": \"evry\" is not a condition (unit, fc, addr, every, p, after, "
            "count)");
        row("condition twice", "crc@every=2,every=3", "\"crc@every=2,every=3\": every given twice");
        row("unit 256", "crc@unit=256",
            "\"crc@unit=256\": unit= takes unit ids 0 to 255 and ranges, separated by /, not "
            "\"256\"");
        row("fc with 0x", "crc@fc=0x3",
            "\"crc@fc=0x3\": fc= takes function codes in hexadecimal (03, 10) and ranges, "
            "separated by /, not \"0x3\"");
        row("addr 65536", "crc@addr=0-65536",
            "\"crc@addr=0-65536\": addr= takes addresses 0 to 65535 and ranges, separated by /, "
            "not \"0-65536\"");
        row("every 0", "crc@every=0",
            "\"crc@every=0\": every=N takes a whole number from 1, not \"0\"");
        row("after negative", "crc@after=-1",
            "\"crc@after=-1\": after=N takes a whole number from 0, not \"-1\"");
        row("p 0", "crc@p=0", "\"crc@p=0\": p=P takes a probability above 0, at most 1, not \"0\"");
        row("p above 1", "crc@p=1.5",
            "\"crc@p=1.5\": p=P takes a probability above 0, at most 1, not \"1.5\"");
    }
    void refusals()
    {
        QFETCH(QString, rule);
        QFETCH(QString, refusal);
        const auto parsed = parseFaultRule(rule);
        QVERIFY(std::holds_alternative<QString>(parsed));
        QCOMPARE(std::get<QString>(parsed), refusal);
    }
};

QTEST_APPLESS_MAIN(TestFaultRule)
#include "tst_fault_rule.moc"
