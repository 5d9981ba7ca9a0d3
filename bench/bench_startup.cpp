// Start-up: the program's process, from its start to its main window painted,
// against a minimal Qt Widgets program whose window shows one caption in the
// same Chinese face (minimal_window.cpp).
#include "bench_scenarios.h"

#include "shown_reporter.h"
#include "support/files.h"
#include "ui/main_window_layout.h"

#include <QApplication>
#include <QProcess>

namespace tallowick::bench {

namespace {

struct StartUp
{
    double ms = 0;
    qint64 residentKiB = 0;
};

// Starts a child and reads the time stamp and the resident size it reports
// when its window is painted.
std::optional<StartUp> timeStartUp(const QString &program, const QStringList &arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 start = monotonicNs();
    child.start(program, arguments);
    if (!child.waitForFinished(30'000)) {
        child.kill();
        child.waitForFinished(2000);
        return std::nullopt;
    }
    const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
    if (words.size() != 3 || words[0] != "SHOWN")
        return std::nullopt;
    return StartUp{double(words[1].toLongLong() - start) / 1e6, words[2].toLongLong()};
}

} // namespace

std::vector<Row> startUp(const Plan &plan, Memory &memory)
{
    QTemporaryDir folder;
    test::writeFile(folder.filePath(QStringLiteral("config1.ini")), fullConfigFile(502));

    const QString self = QCoreApplication::applicationFilePath();
    const QString minimal = QStringLiteral(TALLOWICK_BENCH_MINIMAL);
    std::vector<double> program, baseline;
    std::vector<qint64> programKiB, baselineKiB;
    bool valid = true;
    // Alternating, so that a change of load on the machine hits both alike;
    // the first pair only warms the file cache.
    for (int i = 0; i < plan.startUps + 1; ++i) {
        const auto p = timeStartUp(self, {QStringLiteral("--startup-child"), folder.path()});
        const auto b = timeStartUp(minimal, {});
        valid = valid && p && b;
        if (i == 0 || !p || !b)
            continue;
        program.push_back(p->ms);
        baseline.push_back(b->ms);
        programKiB.push_back(p->residentKiB);
        baselineKiB.push_back(b->residentKiB);
    }
    if (!programKiB.empty()) {
        memory.startUpKiB = programKiB.back();
        memory.minimalStartUpKiB = baselineKiB.back();
    }
    const Stats p = statsOf(program);
    const Stats b = statsOf(baseline);
    const double ratio = p.median / b.median;
    return {{QStringLiteral("Start-up to main window shown, full config1.ini"),
             formatStats(p, QStringLiteral("ms"), 1), formatStats(b, QStringLiteral("ms"), 1),
             QString::number(ratio, 'f', 2), QStringLiteral("<= 1.5"), valid && ratio <= 1.5,
             valid ? QStringLiteral("baseline: a window with one caption in the same face")
                   : QStringLiteral("a child failed")}};
}

int startUpChild(int argc, char **argv, const QString &programFolder)
{
    // As main.cpp starts the program, but with the folder given.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tallowick"));
    QApplication::setDesktopFileName(QStringLiteral("tallowick"));
    QApplication::setWindowIcon(programIcon());
    MainWindow window(programFolder);
    ShownReporter reporter(&window);
    window.show();
    return app.exec();
}

} // namespace tallowick::bench
