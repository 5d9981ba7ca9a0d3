// The --summary tallies: the names of the outcomes and the counts per line
// and in total, with the response times of each.
#include "run/exchange_stats.h"

#include <QTest>

using namespace tallowick;
using std::chrono::microseconds;

namespace {

QString describe(const ExchangeTally &tally)
{
    QStringList parts{QStringLiteral("exchanges %1").arg(tally.exchanges())};
    for (std::size_t i = 0; i < exchangeOutcomeCount; ++i) {
        const auto outcome = ExchangeOutcome(i);
        if (tally.count(outcome) > 0)
            parts << QStringLiteral("%1 %2").arg(outcomeName(outcome)).arg(tally.count(outcome));
    }
    const ResponseTimes &times = tally.times();
    parts << QStringLiteral("times %1: %2/%3/%4/%5")
                 .arg(times.count())
                 .arg(times.min().count())
                 .arg(times.median().count())
                 .arg(times.percentile(99).count())
                 .arg(times.max().count());
    return parts.join(u", ");
}

} // namespace

class TestExchangeStats : public QObject
{
    Q_OBJECT
private slots:
    void tally_data()
    {
        // Exchanges as line, outcome, reply time (-1 for none).
        QTest::addColumn<QList<QList<qint64>>>("exchanges");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("total");
        using O = ExchangeOutcome;
        QTest::newRow("none") << QList<QList<qint64>>{} << QStringList{}
                              << "exchanges 0, times 0: 0/0/0/0";
        QTest::newRow("three lines, every outcome")
            << QList<QList<qint64>>{{2, qint64(O::Ok), 100},
                                    {5, qint64(O::TooShort), 300},
                                    {3, qint64(O::Exception), 200},
                                    {2, qint64(O::Unexpected), 120},
                                    {5, qint64(O::LinkFailed), -1},
                                    {3, qint64(O::BadHeader), 250},
                                    {2, qint64(O::Interrupted), -1},
                                    {2, qint64(O::NoReply), -1},
                                    {3, qint64(O::WrongCrc), 210},
                                    {5, qint64(O::Ok), 80}}
            << QStringList{"2: exchanges 4, ok 1, unexpected 1, no-reply 1, interrupted 1, "
                           "times 2: 100/100/120/120",
                           "3: exchanges 3, wrong-crc 1, exception 1, bad-header 1, "
                           "times 3: 200/210/250/250",
                           "5: exchanges 3, ok 1, too-short 1, link-failed 1, times 2: "
                           "80/80/300/300"}
            << "exchanges 10, ok 2, wrong-crc 1, too-short 1, exception 1, unexpected 1, "
               "no-reply 1, link-failed 1, bad-header 1, interrupted 1, times 7: 80/200/300/300";
    }

    void tally()
    {
        QFETCH(QList<QList<qint64>>, exchanges);
        ExchangeStats stats;
        for (const QList<qint64> &e : exchanges) {
            stats.record(int(e[0]), ExchangeOutcome(e[1]),
                         e[2] < 0 ? std::nullopt : std::optional(microseconds(e[2])));
        }
        QStringList lines;
        for (const auto &[line, tally] : stats.lines())
            lines << QStringLiteral("%1: %2").arg(line).arg(describe(tally));
        QTEST(lines, "lines");
        QTEST(describe(stats.total()), "total");
    }
};

QTEST_GUILESS_MAIN(TestExchangeStats)
#include "tst_exchange_stats.moc"
