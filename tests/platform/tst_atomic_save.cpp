// Files that survive failures: the program killed at random moments while it
// saves its slot, exports and saves its log (save_loop.cpp), a full disk and a
// missing folder. A file is afterwards the old one or the complete new one,
// and a write that fails says so. TALLOWICK_KILL_ROUNDS sets the kills (30);
// TALLOWICK_KILL_SEED makes a run's random choices again (its seed is logged).
#include "config/config_format.h"
#include "support/files.h"
#include "support/window_fixture.h"
#include "ui/main_window_layout.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>

using namespace tallowick;
using namespace tallowick::test;

namespace {

// The generation of a complete slot file or export, or -1. The values of
// generation g are save_loop's, of lengths that differ with g.
long long configGeneration(const QByteArray &file, bool exported)
{
    static const QRegularExpression first(QStringLiteral("^\\[SETTINGS\\]\r\n\\w+=v0-(\\d+)-"));
    const long long g = first.match(QString::fromLatin1(file)).captured(1).toLongLong();
    QStringList values;
    for (int i = 0; i < configValueCount; ++i)
        values << QStringLiteral("v%1-%2-").arg(i).arg(g).repeated(1 + (g + i) % 5);
    return file == (exported ? exportedFile(values, 950) : slotFileWith({}, values, 950)) ? g : -1;
}

// The newest generation of a complete saved log of a run's entries
// "generation g" from `first` on, or -1.
long long logGeneration(const QByteArray &file, long long first)
{
    const QString text = QString::fromUtf8(file).replace(timeStamp, QStringLiteral("@"));
    static const QRegularExpression shape(
        QStringLiteral("^檔案儲存日期：[^\r\n]+\r\n\r\n@generation (\\d+)\r\n"));
    const long long g = shape.match(text).captured(1).toLongLong();
    QString expected = text.section(QStringLiteral("\r\n"), 0, 0) + "\r\n\r\n";
    for (long long k = g; k >= first; --k)
        expected += QStringLiteral("@generation %1\r\n\r\n").arg(k);
    return g >= first && text == expected + "\r\n" ? g : -1;
}

} // namespace

class TestFileSurvival : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileSaving()
    {
        bool set = false;
        const int rounds = qEnvironmentVariableIntValue("TALLOWICK_KILL_ROUNDS", &set);
        const QByteArray seedText = qgetenv("TALLOWICK_KILL_SEED");
        bool seedSet = false;
        quint32 seed = seedText.toUInt(&seedSet);
        QVERIFY2(seedText.isEmpty() || seedSet, "TALLOWICK_KILL_SEED is no whole number");
        if (!seedSet)
            seed = QRandomGenerator::system()->generate();
        qInfo("kill moments from seed %u (TALLOWICK_KILL_SEED=%u chooses them again)", seed, seed);
        QRandomGenerator random(seed);
        QTemporaryDir folder;
        const QString slot = folder.filePath(QStringLiteral("config1.ini"));
        const QString exported = folder.filePath(QStringLiteral("exported.ini"));
        const QString log = folder.filePath(QStringLiteral("log.txt"));
        for (long long round = 1; round <= (set && rounds > 0 ? rounds : 30); ++round) {
            // Chosen up front, so that a round's choices do not depend on how
            // the ones before it went.
            const qsizetype generations = random.bounded(1, 4);
            const int pause = int(random.bounded(40));
            QProcess loop;
            loop.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            loop.start(QStringLiteral(TALLOWICK_SAVE_LOOP),
                       {folder.path(), exported, log, QString::number(round * 1000)});
            QByteArrayList reported; // "G g" once generation g is written
            const auto readReported = [&loop, &reported] {
                while (loop.canReadLine())
                    reported << loop.readLine().trimmed();
                return reported.size();
            };
            // Killed once some generations are reported written, then at a random
            // moment of the loop: no event marks a moment inside a save, so a
            // pause of random length is what lands the kill anywhere in one.
            QTRY_VERIFY_WITH_TIMEOUT(
                readReported() >= generations || loop.state() == QProcess::NotRunning, 60000);
            QVERIFY2(loop.state() == QProcess::Running, "the save loop ended by itself");
            QTest::qSleep(pause);
            loop.kill();
            QVERIFY(loop.waitForFinished(60000));
            QCOMPARE(loop.exitStatus(), QProcess::CrashExit);
            readReported();
            QVERIFY(!reported.isEmpty() && reported.last().startsWith("G "));

            // Each file is whole: of the last generation reported done, or of the
            // next one, whose slot is written before its export and its log.
            const long long last = reported.last().mid(2).toLongLong();
            const QString newer = QStringLiteral("%1%2%3")
                                      .arg(configGeneration(readFile(slot), false) - last)
                                      .arg(configGeneration(readFile(exported), true) - last)
                                      .arg(logGeneration(readFile(log), round * 1000) - last);
            QVERIFY2(QStringList({"000", "100", "110", "111"}).contains(newer),
                     qPrintable(QStringLiteral("round %1: %2").arg(round).arg(newer)));
            // A write cut short may leave its temporary file, never a real name.
            QStringList names = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);
            names.removeIf([](const QString &name) { return name.count(u'.') > 1; });
            QCOMPARE(names, (QStringList{"config1.ini", "exported.ini", "log.txt"}));
        }
    }

    // What a save is given is kept: a symbolic link stays a link and the
    // file it points to is replaced; a device is written where it is, never
    // replaced by a file (nodes of the test's own, never the system's).
    void savesKeepLinksAndDevices_data()
    {
        QTest::addColumn<QString>("target"); // what the dialog names
        QTest::addColumn<QString>("shown");  // after Export and Save Log
        const QString saved = QStringLiteral("    Save Success.   |64|Log save");
        QTest::newRow("a symbolic link") << "link" << saved;
        QTest::newRow("a link to a link to a file not there yet") << "link2" << saved;
        QTest::newRow("a null device") << "null" << saved;
        QTest::newRow("a full device") << "full"
                                       << "Save Log failed: %dir/full|16|Log save";
    }

    void savesKeepLinksAndDevices()
    {
        QFETCH(QString, target);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        const QString at = dir.filePath(target);
        if (!makeMemoryDevices(dir.path()))
            QSKIP("making device nodes is not allowed here (it needs root)");
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("file")), dir.filePath("link")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("link")), dir.filePath("link2")));
        writeFile(dir.filePath(QStringLiteral("file")), "old");
        if (target == u"link2")
            QVERIFY(QFile::remove(dir.filePath(QStringLiteral("file"))));

        ScriptedDialogs dialogs;
        auto window = std::make_unique<MainWindow>(dir.path());
        window->log().addEntry(QStringLiteral("an entry"), 2);
        dialogs.files.push_back(at);
        window->controls().savelog->click();
        // After start-up's word on the folder's missing slot.
        QCOMPARE(dialogs.shown().mid(1),
                 QStringList{shown.replace(QStringLiteral("%dir"), dir.path())});
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("link"))).isSymLink());
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("link2"))).isSymLink());
        for (const QString &node : {QStringLiteral("null"), QStringLiteral("full")})
            QVERIFY(isMemoryDevice(dir.filePath(node), node));
        if (target.startsWith(u"link"))
            QVERIFY(readFile(dir.filePath(QStringLiteral("file"))).contains("an entry"));
    }

    void writesFail_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("full disk") << true;
        QTest::newRow("missing folder") << false;
    }

    void writesFail()
    {
        QFETCH(bool, fullDisk);
        QTemporaryDir base;
        const QString disk = base.filePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkpath(disk));
        // A disk that fills up: a small tmpfs, for the test's lifetime.
        if (fullDisk &&
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", disk}) != 0)
            QSKIP("a small tmpfs cannot be mounted here (it needs root)");
        const auto unmount = qScopeGuard([&] {
            if (fullDisk)
                QProcess::execute("umount", {disk});
        });
        const QStringList paths{QDir(disk).filePath(QStringLiteral("config1.ini")),
                                QDir(disk).filePath(QStringLiteral("exported.ini")),
                                QDir(disk).filePath(QStringLiteral("log.txt"))};
        ScriptedDialogs dialogs;
        auto window = std::make_unique<MainWindow>(disk);
        Controls &ui = window->controls();
        // Saves all three files, with every box and a new log entry of that size.
        auto writeAll = [&](char16_t c, qsizetype size) {
            for (QLineEdit *box : configBoxes(window.get()))
                box->setText(QString(size, c));
            window->log().addEntry(QString(size * 10, c), 2);
            dialogs.clear();
            ui.save->click();
            dialogs.files.push_back(paths[1]);
            ui.Command4->click();
            dialogs.files.push_back(paths[2]);
            ui.savelog->click();
        };
        auto contents = [&] {
            return QByteArrayList{readFile(paths[0]), readFile(paths[1]), readFile(paths[2])};
        };
        const QStringList succeeded(2, QStringLiteral("    Save Success.   |64|Log save"));
        writeAll(u'a', 10);
        QCOMPARE(dialogs.shown(), succeeded);
        const QByteArrayList before = contents();
        if (fullDisk)
            QProcess::execute("sh", {"-c", "cat /dev/zero > \"$0/filler\"", disk}); // until full
        else
            QVERIFY(QDir(disk).removeRecursively());
        // Contents smaller than the write buffer, and larger.
        for (const qsizetype size : {20, 2000}) {
            writeAll(u'b', size);
            QCOMPARE(dialogs.shown(),
                     (QStringList{"Save File config1.ini Failed.|48|Failed Msg",
                                  "Export config file failed: " + paths[1] + "|16|Failed Msg",
                                  "Save Log failed: " + paths[2] + "|16|Log save"}));
            QCOMPARE(ui.status->text(), QStringLiteral("Save File config1.ini Failed."));
            // The old files stand as they were, with nothing half-written beside them.
            QCOMPARE(contents(), fullDisk ? before : QByteArrayList(3));
            QCOMPARE(QDir(disk).entryList(QDir::Files | QDir::Hidden),
                     fullDisk ? QStringList({"config1.ini", "exported.ini", "filler", "log.txt"})
                              : QStringList());
        }
        // With room again the same writes go through.
        if (fullDisk)
            QVERIFY(QFile::remove(disk + "/filler"));
        else
            QVERIFY(QDir().mkpath(disk));
        writeAll(u'c', 1000);
        QCOMPARE(dialogs.shown(), succeeded);
        QCOMPARE(ui.status->text(), QStringLiteral("Save File config1.ini Success."));
        for (const QByteArray &file : contents())
            QVERIFY(file.contains(QByteArray(1000, 'c') + "\r\n"));
    }
};

QTEST_MAIN(TestFileSurvival)
#include "tst_atomic_save.moc"
