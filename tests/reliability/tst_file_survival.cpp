// Files that survive failures: the program killed at random moments while it
// saves its slot, exports and saves its log (tests/reliability/save_loop.cpp),
// a full disk and a missing folder. A file is afterwards either the old one or
// the complete new one, and a write that fails says so.
//
// TALLOWICK_KILL_ROUNDS sets the number of kills (30 by default).
#include "config/config_io.h"
#include "ui/main_window_layout.h"
#include "support/window_fixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace tallowick;
using namespace tallowick::test;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The value save_loop gives box i in generation g.
QString loopValue(int i, long long g)
{
    return QStringLiteral("v%1-%2-").arg(i).arg(g).repeated(1 + (g + i) % 5);
}

// The generation of a complete configuration file (slot or export), or -1 when
// the file is torn or mixes generations.
long long configGeneration(const QByteArray &file)
{
    const QList<QByteArray> lines = file.split('\n');
    // "[SETTINGS]", 39 values, and nothing after the last line's CR LF.
    if (lines.size() != configValueCount + 2 || lines.first() != "[SETTINGS]\r" ||
        !lines.last().isEmpty())
        return -1;
    static const QRegularExpression firstValue(QStringLiteral("^v0-(\\d+)-"));
    QStringList values;
    for (int i = 1; i <= configValueCount; ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype equals = line.indexOf('=');
        if (!line.endsWith('\r') || equals < 0)
            return -1;
        values << QString::fromLatin1(line.mid(equals + 1).chopped(1)).trimmed();
    }
    const auto match = firstValue.match(values.first());
    if (!match.hasMatch())
        return -1;
    const long long g = match.captured(1).toLongLong();
    for (int i = 0; i < configValueCount; ++i) {
        if (values.at(i) != loopValue(i, g))
            return -1;
    }
    return g;
}

// The newest generation of a complete saved log, or -1 when it is torn: the
// date line, an empty line, the entries "generation g" of one run from the
// newest down to the run's first (a multiple of 1000), a final line break.
long long logGeneration(const QByteArray &file)
{
    const QString text = QString::fromUtf8(file);
    static const QRegularExpression shape(
        QStringLiteral("^檔案儲存日期：[^\r\n]+\r\n\r\n((?:\\d\\d:\\d\\d:\\d\\d   generation "
                       "\\d+\r\n\r\n)+)\r\n$"));
    const auto match = shape.match(text);
    if (!match.hasMatch())
        return -1;
    static const QRegularExpression entry(QStringLiteral("generation (\\d+)"));
    long long newest = -1;
    long long expected = -1;
    for (auto it = entry.globalMatch(match.captured(1)); it.hasNext();) {
        const long long g = it.next().captured(1).toLongLong();
        if (newest < 0)
            newest = g;
        else if (g != expected)
            return -1;
        expected = g - 1;
    }
    return (expected + 1) % 1000 == 0 ? newest : -1;
}

// Mounts a small tmpfs for the test's lifetime: a disk that fills up.
class SmallDisk
{
public:
    explicit SmallDisk(const QString &path) : m_path(QFile::encodeName(path))
    {
        m_mounted =
            ::mount("tmpfs", m_path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount(m_path.constData());
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool isMounted() const { return m_mounted; }

    // Writes a filler file until the disk refuses more.
    bool fill()
    {
        const int fd = ::open((m_path + "/filler").constData(), O_WRONLY | O_CREAT, 0600);
        if (fd < 0)
            return false;
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        const bool full = errno == ENOSPC;
        // Single bytes, until not even one more fits.
        while (::write(fd, "x", 1) > 0) {
        }
        ::close(fd);
        return full;
    }
    void makeRoom() { ::unlink((m_path + "/filler").constData()); }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

// Fills every configuration box with a text of the given size.
void fillBoxes(const Controls &ui, QChar c, qsizetype size)
{
    for (QLineEdit *box : configBoxes(ui))
        box->setText(QString(size, c));
}

} // namespace

class TestFileSurvival : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileSaving();
    void writesFail_data();
    void writesFail();
};

void TestFileSurvival::killedWhileSaving()
{
    bool ok = false;
    const int rounds = qEnvironmentVariableIntValue("TALLOWICK_KILL_ROUNDS", &ok);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString slot = folder.filePath(QStringLiteral("config1.ini"));
    const QString exported = folder.filePath(QStringLiteral("exported.ini"));
    const QString log = folder.filePath(QStringLiteral("log.txt"));
    long long slotSeen = -1;
    long long exportSeen = -1;
    long long logSeen = -1;
    int generations = 0;

    for (int round = 1; round <= (ok && rounds > 0 ? rounds : 30); ++round) {
        QProcess loop;
        loop.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        loop.start(QStringLiteral(TALLOWICK_SAVE_LOOP),
                   {folder.path(), exported, log, QString::number(round * 1000LL)});
        QVERIFY(loop.waitForStarted(5000));
        // Killed once it is inside the loop, at a random moment of it.
        QElapsedTimer clock;
        clock.start();
        while (!loop.canReadLine() && loop.state() == QProcess::Running && clock.elapsed() < 20000)
            loop.waitForReadyRead(100);
        QVERIFY2(loop.state() == QProcess::Running, "the save loop ended by itself");
        QTest::qSleep(int(QRandomGenerator::global()->bounded(40)));
        loop.kill();
        QVERIFY(loop.waitForFinished(5000));
        QCOMPARE(loop.exitStatus(), QProcess::CrashExit);
        generations += int(loop.readAllStandardOutput().count('\n')) + 1;

        // Each file is whole, and never older than what was seen before.
        const long long slotNow = configGeneration(readFile(slot));
        const long long exportNow = configGeneration(readFile(exported));
        const long long logNow = logGeneration(readFile(log));
        QVERIFY2(slotNow >= std::max(0LL, slotSeen), qPrintable(QString(readFile(slot))));
        QVERIFY2(exportNow >= std::max(0LL, exportSeen), qPrintable(QString(readFile(exported))));
        QVERIFY2(logNow >= std::max(0LL, logSeen), qPrintable(QString(readFile(log))));
        slotSeen = slotNow;
        exportSeen = exportNow;
        logSeen = logNow;
        // A kill in the middle of a write may leave that write's temporary
        // file behind, but never under one of the real names.
        QStringList names =
            QDir(folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        names.removeIf([](const QString &name) {
            return name.startsWith(QLatin1String("config1.ini.")) ||
                   name.startsWith(QLatin1String("exported.ini.")) ||
                   name.startsWith(QLatin1String("log.txt."));
        });
        QCOMPARE(names, QStringList({QStringLiteral("config1.ini"), QStringLiteral("exported.ini"),
                                     QStringLiteral("log.txt")}));
    }
    qInfo("about %d generations written, the last seen: slot %lld, export %lld, log %lld",
          generations, slotSeen, exportSeen, logSeen);
}

void TestFileSurvival::writesFail_data()
{
    QTest::addColumn<bool>("fullDisk");
    QTest::newRow("full disk") << true;
    QTest::newRow("missing folder") << false;
}

void TestFileSurvival::writesFail()
{
    QFETCH(bool, fullDisk);
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString disk = base.filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkpath(disk));
    std::unique_ptr<SmallDisk> small;
    if (fullDisk) {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        small = std::make_unique<SmallDisk>(disk);
        if (!small->isMounted())
            QSKIP("a tmpfs cannot be mounted here");
    }
    const QString slot = QDir(disk).filePath(QStringLiteral("config1.ini"));
    const QString exported = QDir(disk).filePath(QStringLiteral("exported.ini"));
    const QString log = QDir(disk).filePath(QStringLiteral("log.txt"));
    ScriptedDialogs dialogs;
    auto window = std::make_unique<MainWindow>(disk);
    Controls &ui = window->controls();
    auto writeAll = [&] {
        dialogs.clear();
        ui.save->click();
        dialogs.files.push_back(exported);
        ui.Command4->click();
        dialogs.files.push_back(log);
        ui.savelog->click();
    };

    // The old files, written while there is room.
    fillBoxes(ui, u'a', 10);
    window->log().addEntry(QStringLiteral("old"), 2);
    writeAll();
    QCOMPARE(dialogs.messageTexts(), QStringList(2, QStringLiteral("    Save Success.   ")));
    const QByteArray oldSlot = readFile(slot);
    const QByteArray oldExport = readFile(exported);
    const QByteArray oldLog = readFile(log);
    QVERIFY(oldSlot.contains("aaaaaaaaaa") && oldExport.contains("aaaaaaaaaa"));
    QVERIFY(oldLog.contains("old"));

    if (fullDisk)
        QVERIFY(small->fill());
    else
        QVERIFY(QDir(disk).removeRecursively());

    // Larger new contents: each write reports its failure.
    fillBoxes(ui, u'b', 2000);
    window->log().addEntry(QString(20000, u'n'), 2);
    writeAll();
    QCOMPARE(dialogs.messages.size(), 3);
    QCOMPARE(dialogs.messages[0].text, QStringLiteral("Save File config1.ini Failed."));
    QCOMPARE(dialogs.messages[0].flags, int(MbExclamation));
    QCOMPARE(ui.status->text(), QStringLiteral("Save File config1.ini Failed."));
    QVERIFY2(dialogs.messages[1].text.startsWith(QStringLiteral("Export config file failed: ") +
                                                 exported + u'\n'),
             qPrintable(dialogs.messages[1].text));
    QCOMPARE(dialogs.messages[1].flags, int(MbCritical));
    QVERIFY2(dialogs.messages[2].text.startsWith(QStringLiteral("Save Log failed: ") + log + u'\n'),
             qPrintable(dialogs.messages[2].text));
    QCOMPARE(dialogs.messages[2].flags, int(MbCritical));
    QCOMPARE(dialogs.messages[2].title, QStringLiteral("Log save"));
    if (fullDisk) {
        // The old files stand as they were, with nothing half-written beside them.
        QCOMPARE(readFile(slot), oldSlot);
        QCOMPARE(readFile(exported), oldExport);
        QCOMPARE(readFile(log), oldLog);
        QCOMPARE(QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({QStringLiteral("config1.ini"), QStringLiteral("exported.ini"),
                              QStringLiteral("filler"), QStringLiteral("log.txt")}));
    } else {
        QVERIFY(!QFileInfo::exists(disk));
    }

    // With room again the same writes go through.
    if (fullDisk)
        small->makeRoom();
    else
        QVERIFY(QDir().mkpath(disk));
    writeAll();
    QCOMPARE(dialogs.messageTexts(), QStringList(2, QStringLiteral("    Save Success.   ")));
    QCOMPARE(ui.status->text(), QStringLiteral("Save File config1.ini Success."));
    QVERIFY(readFile(slot).contains(QByteArray(2000, 'b')));
    QVERIFY(readFile(exported).contains(QByteArray(2000, 'b')));
    QVERIFY(readFile(log).contains(QByteArray(20000, 'n')));
    window.reset(); // before the disk goes
}

QTEST_MAIN(TestFileSurvival)
#include "tst_file_survival.moc"
