// A long run of exchanges through the real window against a loopback peer that
// now and then answers with a wrong CRC, not at all, or in two parts. Every
// exchange must be logged exactly once with the right kind of entry, nothing
// may be left waiting, and memory may grow by no more than the log's text.
//
// TALLOWICK_SOAK_EXCHANGES sets the number of exchanges (1000 by default; the
// long run is 100000); TALLOWICK_SOAK_PAUSE_MS a pause between exchanges (none
// by default), so that every line of the log is drawn as at a human pace.
// Entries: pymodbus 3.0 utilities.computeCRC, computed once.
#include "engine/exchange_engine.h"
#include "links/tcp_link.h"
#include "support/exchange.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <array>
#include <random>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_UNDER_ASAN 1
#endif
#endif

using namespace tallowick;
using namespace tallowick::test;

namespace {

enum class Kind { Good, WrongCrc, Missing, Split };

const QByteArray goodReply = QByteArray::fromHex("01030200057847");
const QByteArray wrongCrcReply = QByteArray::fromHex("01030200057848");
constexpr qsizetype splitAt = 3;

const QString sentEntry = QStringLiteral("傳送CMD1： > 010300000001 840A");
const QString goodEntry = QStringLiteral("接收 < 0103020005 7847");
const QString wrongCrcEntry = QStringLiteral("接收 < 0103020005 7848  *CRC錯誤　正確為  7847");
const QString firstPartEntry = QStringLiteral("接收 < 01 0302  *CRC錯誤　正確為  7E80");
const QString secondPartEntry = QStringLiteral("接收 < 0005 7847  *CRC錯誤　正確為  C1B3");
const QString noReplyEntry = QStringLiteral("--------無回應--------");

// 1 % of each fault, the rest good replies; the same sequence on every run.
std::vector<Kind> plan(int count)
{
    std::mt19937 random(20240601);
    std::vector<Kind> kinds;
    kinds.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        switch (random() % 100) {
        case 0:
            kinds.push_back(Kind::WrongCrc);
            break;
        case 1:
            kinds.push_back(Kind::Missing);
            break;
        case 2:
            kinds.push_back(Kind::Split);
            break;
        default:
            kinds.push_back(Kind::Good);
        }
    }
    return kinds;
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

int exchangeCount()
{
    bool ok = false;
    const int count = qEnvironmentVariableIntValue("TALLOWICK_SOAK_EXCHANGES", &ok);
    return ok && count > 0 ? count : 1000;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT
private slots:
    void exchanges();
};

void TestSoak::exchanges()
{
    const int count = exchangeCount();
    const int pause = std::max(0, qEnvironmentVariableIntValue("TALLOWICK_SOAK_PAUSE_MS"));
    const std::vector<Kind> kinds = plan(count);
    std::array<int, 4> planned{};
    for (const Kind kind : kinds)
        ++planned[size_t(kind)];

    Kind current = Kind::Good;
    ScriptedPeer peer;
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) {
        peer.received.clear();
        switch (current) {
        case Kind::Good:
            socket->write(goodReply);
            break;
        case Kind::WrongCrc:
            socket->write(wrongCrcReply);
            break;
        case Kind::Missing:
            break;
        case Kind::Split:
            socket->write(goodReply.left(splitAt));
            break;
        }
    };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("5000"), true);

    // Driven by the end of each exchange, as repeated sending is: the next
    // Send follows at the next turn of the event loop. A reply in two parts
    // ends its exchange with the first; the second part, sent only then, is
    // logged as a reply of its own and ends nothing new.
    QEventLoop loop;
    int started = 0;
    int warmUp = std::min(200, count / 10);
    bool awaitingSecondPart = false;
    qint64 residentBefore = 0;
    qsizetype logBefore = 0;
    QElapsedTimer clock;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.setInterval(10000);
    connect(&watchdog, &QTimer::timeout, &loop, [&] { loop.exit(1); });

    auto sendNext = [&] {
        if (started == warmUp) {
            residentBefore = residentBytes();
            logBefore = f.logText().size();
            clock.start();
        }
        if (started == count) {
            loop.exit(0);
            return;
        }
        current = kinds[size_t(started)];
        // A short time-out only where no reply will come, so that a slow turn
        // of a busy machine never turns a good reply into a missing one.
        f.ui().timeout->setText(current == Kind::Missing ? QStringLiteral("30")
                                                         : QStringLiteral("5000"));
        ++started;
        watchdog.start();
        f.ui().send->click();
    };
    connect(&f.engine(), &ExchangeEngine::exchangeEnded, &loop, [&] {
        if (current == Kind::Split && !awaitingSecondPart) {
            awaitingSecondPart = true;
            QVERIFY(peer.last());
            peer.last()->write(goodReply.mid(splitAt));
            return;
        }
        awaitingSecondPart = false;
        QTimer::singleShot(pause, &loop, sendNext);
    });

    QTimer::singleShot(0, &loop, sendNext);
    QCOMPARE(loop.exec(), 0);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 residentAfter = residentBytes();

    // Nothing is left waiting, and nothing more comes.
    QVERIFY(isIdle(f));
    QVERIFY(!f.ui().Timer->isActive());
    QTest::qWait(100);
    const QString log = f.logText();

    QHash<QString, int> entries;
    for (const QString &line : logLines(log))
        ++entries[line];
    QCOMPARE(entries.value(sentEntry), count);
    QCOMPARE(entries.value(goodEntry), planned[size_t(Kind::Good)]);
    QCOMPARE(entries.value(wrongCrcEntry), planned[size_t(Kind::WrongCrc)]);
    QCOMPARE(entries.value(noReplyEntry), planned[size_t(Kind::Missing)]);
    QCOMPARE(entries.value(firstPartEntry), planned[size_t(Kind::Split)]);
    QCOMPARE(entries.value(secondPartEntry), planned[size_t(Kind::Split)]);
    // The link was made once and kept.
    QCOMPARE(peer.connections, 1);
    QCOMPARE(entries.value(QStringLiteral("-------正在連線-------")), 1);
    QCOMPARE(entries.value(QStringLiteral("IP:127.0.0.1:") + QString::number(peer.port())), 1);
    // Entries with two line breaks leave an empty line; the log ends in one.
    QCOMPARE(entries.value(QString()), count + planned[size_t(Kind::Missing)] + 2 + 1);
    QCOMPARE(entries.size(), 9);

    // The text lives in memory as UTF-16. Beyond it the run may keep a fixed
    // allowance: the layouts of the lines in view and the font's glyph cache,
    // and what the allocator holds on to when the log's storage moves to a
    // larger block (its own text at the largest), for which 32 MiB is ample.
    const qint64 logBytes = (log.size() - logBefore) * qint64(sizeof(QChar));
    const qint64 growth = residentAfter - residentBefore;
    constexpr qint64 allowance = 32 * 1024 * 1024;
    const int measured = count - warmUp;
    qInfo("%d exchanges in %.1f s (%.0f/s); resident %.1f MiB before, %.1f MiB after "
          "(growth %.1f MiB); log %lld characters (%.1f MiB as UTF-16, %.1f MiB added)",
          measured, seconds, measured / seconds, residentBefore / 1048576.0,
          residentAfter / 1048576.0, growth / 1048576.0, qlonglong(log.size()),
          log.size() * 2 / 1048576.0, logBytes / 1048576.0);
#ifdef SOAK_UNDER_ASAN
    qInfo("memory bound not checked: AddressSanitizer keeps freed memory in quarantine");
#else
    QVERIFY2(
        growth <= logBytes + allowance,
        qPrintable(QStringLiteral("grew %1 bytes for %2 bytes of log").arg(growth).arg(logBytes)));
#endif
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
