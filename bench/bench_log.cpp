// The log as it grows: the cost of one more entry, Save Log of the whole of
// it, and the memory it takes.
#include "bench_scenarios.h"

#include "support/files.h"
#include "ui/log_box.h"
#include "ui/log_panel.h"

#include <QCoreApplication>
#include <QLocale>
#include <QPushButton>

#include <algorithm>

namespace tallowick::bench {

namespace {

// The entries of one exchange, as the log shows them after the time stamp.
const QString sentEntry = QStringLiteral("傳送CMD1： > 010300000001 840A");
const QString replyEntry = QStringLiteral("接收 < 0103020000 B844");

QString entriesName(int entries)
{
    return QLocale(QLocale::English).toString(entries);
}

} // namespace

std::vector<Row> logGrowthAndSave(const Plan &plan, Memory &memory)
{
    Window w;
    LogPanel &log = w.window->log();
    w.click(w.ui().Command1);
    memory.emptyLogKiB = residentKiB();

    // The log is filled through the log itself, two entries per exchange as a
    // long run leaves them; only the entries after each size are measured.
    int entries = 0;
    const auto fillTo = [&](int size) {
        while (entries < size) {
            log.addEntry(entries % 2 ? replyEntry : sentEntry, entries % 2 ? 1 : 2);
            ++entries;
            // As in a run, where every exchange goes back to the event loop:
            // what the text box posts to itself is handled, not heaped up.
            if (entries % 1000 == 0)
                QCoreApplication::processEvents();
        }
    };

    std::vector<Row> rows;
    Stats clickAtFirst, addAtFirst, drawAtFirst;
    for (size_t k = 0; k < plan.logSizes.size(); ++k) {
        fillTo(plan.logSizes[k]);
        QCoreApplication::processEvents();
        // One entry by a click on "CRC Calculate", painted; then one entry on
        // its own, as every writer of the log adds it.
        std::vector<double> clicks, adds;
        for (int i = 0; i < plan.logSamples; ++i) {
            qint64 start = monotonicNs();
            w.click(w.ui().crcCalc);
            QCoreApplication::processEvents();
            clicks.push_back(double(monotonicNs() - start) / 1e3);
            start = monotonicNs();
            log.addEntry(replyEntry, 1);
            adds.push_back(double(monotonicNs() - start) / 1e3);
        }
        entries += 2 * plan.logSamples;
        // Drawing the visible part of the log, once its held-back redraw is over.
        runEventLoopFor(std::chrono::milliseconds(150));
        std::vector<double> draws;
        for (int i = 0; i < std::max(plan.logSamples / 10, 3); ++i) {
            const qint64 start = monotonicNs();
            w.ui().getMsg->viewport()->repaint();
            draws.push_back(double(monotonicNs() - start) / 1e3);
        }
        const Stats c = statsOf(clicks);
        const Stats a = statsOf(adds);
        const Stats d = statsOf(draws);
        if (k == 0) {
            clickAtFirst = c;
            addAtFirst = a;
            drawAtFirst = d;
        }
        const bool last = k + 1 == plan.logSizes.size();
        const QString size = entriesName(plan.logSizes[k]);
        const QString firstSize = entriesName(plan.logSizes[0]);
        rows.push_back(
            {QStringLiteral("Log entry by a click (CRC Calculate) at %1 entries").arg(size),
             formatStats(c, QStringLiteral("µs"), 1),
             formatStats(clickAtFirst, QStringLiteral("µs"), 1) +
                 QStringLiteral(" (at %1)").arg(firstSize),
             QString::number(c.median / clickAtFirst.median, 'f', 2),
             last ? QStringLiteral("<= 1.5") : QString(),
             !last || c.median / clickAtFirst.median <= 1.5, QString()});
        rows.push_back(
            {QStringLiteral("Log entry alone (LogPanel::addEntry) at %1 entries").arg(size),
             formatStats(a, QStringLiteral("µs"), 1),
             formatStats(addAtFirst, QStringLiteral("µs"), 1) +
                 QStringLiteral(" (at %1)").arg(firstSize),
             QString::number(a.median / addAtFirst.median, 'f', 2),
             last ? QStringLiteral("<= 1.5") : QString(),
             !last || a.median / addAtFirst.median <= 1.5, QString()});
        rows.push_back({QStringLiteral("Log redraw (visible part) at %1 entries").arg(size),
                        formatStats(d, QStringLiteral("µs"), 1),
                        formatStats(drawAtFirst, QStringLiteral("µs"), 1) +
                            QStringLiteral(" (at %1)").arg(firstSize),
                        QString::number(d.median / drawAtFirst.median, 'f', 2), QString(), true,
                        QString()});
    }
    memory.fullLogKiB = residentKiB();
    memory.fullLogEntries = entries;
    memory.logTextUtf16Bytes = log.text().size() * qint64(sizeof(QChar));

    // Save Log of the whole log, against writing the same bytes durably, as
    // it does, and beside writing them plainly.
    QTemporaryDir files;
    const QString savedPath = files.filePath(QStringLiteral("saved.txt"));
    const QString plainPath = files.filePath(QStringLiteral("plain.txt"));
    w.dialogs.otherFiles = savedPath;
    const QString durablePath = files.filePath(QStringLiteral("durable.txt"));
    std::vector<double> saves, writes, durableWrites;
    bool valid = true;
    QByteArray bytes;
    for (int r = 0; r < plan.saveRepetitions + 1; ++r) {
        w.dialogs.clear();
        qint64 start = monotonicNs();
        w.click(w.ui().savelog);
        const double saved = double(monotonicNs() - start) / 1e6;
        valid = valid && w.dialogs.messages.size() == 1 &&
                w.dialogs.messages[0].text == u"    Save Success.   ";
        if (bytes.isEmpty())
            bytes = test::readFile(savedPath);
        start = monotonicNs();
        valid = test::writeFile(plainPath, bytes) && valid;
        const double written = double(monotonicNs() - start) / 1e6;
        start = monotonicNs();
        valid = test::writeFile(durablePath, bytes, true) && valid;
        const double durable = double(monotonicNs() - start) / 1e6;
        if (r > 0) { // the first round brings the files into being
            saves.push_back(saved);
            writes.push_back(written);
            durableWrites.push_back(durable);
        }
    }
    w.dialogs.otherFiles.reset();
    memory.logFileBytes = bytes.size();
    memory.afterSaveKiB = residentKiB();
    const Stats s = statsOf(saves);
    const Stats d = statsOf(durableWrites);
    rows.push_back({QStringLiteral("Save Log of a %1-entry log").arg(entriesName(entries)),
                    formatStats(s, QStringLiteral("ms"), 1),
                    formatStats(d, QStringLiteral("ms"), 1) + QStringLiteral(" (durable write)"),
                    QString::number(s.median / d.median, 'f', 2), QStringLiteral("<= 2"),
                    valid && s.median / d.median <= 2,
                    QStringLiteral("%1 MB file; the durable write is a plain write synced and "
                                   "renamed over the old file; the plain write alone: %2 ms")
                            .arg(double(bytes.size()) / 1e6, 0, 'f', 1)
                            .arg(statsOf(writes).median, 0, 'f', 1) +
                        (valid ? QString() : QStringLiteral(", save failed"))});
    return rows;
}

} // namespace tallowick::bench
