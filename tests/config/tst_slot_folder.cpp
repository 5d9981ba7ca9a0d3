// Where the window keeps its slot files when it is given no folder: beside the
// program in a build run from its tree or installed into a user prefix, in
// the user's configuration home in the package. The window of each place, and
// the programs that choose them: this build's and the packaged one.
#include "config/slot_folder.h"
#include "support/files.h"
#include "support/scripted_dialogs.h"
#include "ui/main_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace tallowick;
using namespace tallowick::test;

namespace {

// Sets an environment variable (unsets it for nullopt) until the guard it
// returns goes.
auto environmentValue(const char *name, const std::optional<QByteArray> &value)
{
    const auto set = [name](const std::optional<QByteArray> &to) {
        if (to)
            qputenv(name, *to);
        else
            qunsetenv(name);
    };
    std::optional<QByteArray> old;
    if (qEnvironmentVariableIsSet(name))
        old = qgetenv(name);
    set(value);
    return qScopeGuard([set, old] { set(old); });
}

// The boxes shown so far, then the status line.
QString shownAndStatus(const ScriptedDialogs &dialogs, MainWindow &window)
{
    return (dialogs.shown() << window.controls().status->text()).join(u'|');
}

} // namespace

class TestSlotFolder : public QObject
{
    Q_OBJECT

private slots:
    // A program that chooses no place, such as this test, keeps its slots
    // beside itself.
    void besideAProgramThatChoosesNone()
    {
        QCOMPARE(builtInSlotPlace(), SlotPlace::BesideProgram);
        QCOMPARE(slotFolder(), QCoreApplication::applicationDirPath());
    }

    // The place, XDG_CONFIG_HOME and HOME, relative to a scratch folder ("-"
    // unset), and where the configuration home is then.
    void startUpAndSave_data()
    {
        QTest::addColumn<bool>("inConfigHome");
        QTest::addColumn<QString>("xdgConfigHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("configHome");
        const auto row = [](const char *tag, bool inConfigHome, const char *xdg, const char *home,
                            const char *configHome) {
            QTest::newRow(tag) << inConfigHome << QString::fromUtf8(xdg) << QString::fromUtf8(home)
                               << QString::fromUtf8(configHome);
        };
        row("config home, XDG_CONFIG_HOME", true, "xdg", "home", "xdg/tallowick");
        row("config home, XDG_CONFIG_HOME, nested folders made", true, "not/yet/there", "home",
            "not/yet/there/tallowick");
        row("config home, no XDG_CONFIG_HOME", true, "-", "home", "home/.config/tallowick");
        row("config home, empty XDG_CONFIG_HOME", true, "", "home", "home/.config/tallowick");
        row("beside the program, XDG_CONFIG_HOME", false, "xdg", "home", "xdg/tallowick");
    }

    // The real start-up and "Save setting" of a window given no folder, and
    // its "Kill All Files" in the configuration home, in the folder of the
    // place the program chose.
    void startUpAndSave()
    {
        QFETCH(bool, inConfigHome);
        QFETCH(QString, xdgConfigHome);
        QFETCH(QString, home);
        QFETCH(QString, configHome);
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        const auto path = [&](const QString &relative) -> std::optional<QByteArray> {
            if (relative == u"-")
                return std::nullopt;
            return relative.isEmpty() ? QByteArray("")
                                      : QFile::encodeName(QDir(scratch.path()).filePath(relative));
        };
        const auto xdg = environmentValue("XDG_CONFIG_HOME", path(xdgConfigHome));
        const auto homeValue = environmentValue("HOME", path(home));

        setSlotPlace(inConfigHome ? SlotPlace::ConfigHome : SlotPlace::BesideProgram);
        const auto chooseNone = qScopeGuard([] { setSlotPlace(SlotPlace::BesideProgram); });
        const QString folder = inConfigHome ? QDir(scratch.path()).filePath(configHome)
                                            : QCoreApplication::applicationDirPath();
        QCOMPARE(slotFolder(), folder);
        const QString slot = QDir(folder).filePath(QStringLiteral("config1.ini"));
        // Beside the program is this build's own folder: nothing but this test
        // keeps a slot there.
        QFile::remove(slot);
        const auto removeSlot = qScopeGuard([&] { QFile::remove(slot); });

        ScriptedDialogs dialogs;
        {
            MainWindow window;
            QCOMPARE(shownAndStatus(dialogs, window),
                     QStringLiteral("Load Save File config1.ini Failed.|48|Failed Msg|"
                                    "Load Save File config1.ini Failed."));
            // Nothing is made before it is needed.
            QCOMPARE(QFileInfo::exists(folder), !inConfigHome);
            dialogs.clear();
            window.controls().cmd[0]->setText(QStringLiteral("0103000A0001"));
            window.controls().save->click();
            QCOMPARE(shownAndStatus(dialogs, window),
                     QStringLiteral("Save File config1.ini Success."));
            QVERIFY(readFile(slot).contains("\r\nCMD0=0103000A0001\r\n"));
        }
        dialogs.clear();
        MainWindow window;
        QCOMPARE(shownAndStatus(dialogs, window),
                 QStringLiteral("Load Save File config1.ini Success."));
        QCOMPARE(window.controls().cmd[0]->text(), QStringLiteral("0103000A0001"));
        // Kill All deletes every "*.ini" of the folder: not in this build's
        // own folder, whatever else it holds.
        if (!inConfigHome)
            return;
        window.controls().killCmd[5]->click(); // answered Yes
        QCOMPARE(dialogs.shown().join(u'|'), QStringLiteral("Sure?Kill all files?|52|Kill files"));
        QVERIFY(!QFileInfo::exists(slot));
        QVERIFY(QFileInfo(folder).isDir());
    }

    // The window programs built here, asked with --help where they keep the
    // slots: this build's beside itself, the package's in the configuration
    // home.
    void programsChoice_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("inConfigHome");
#ifdef TALLOWICK_PROGRAM
        QTest::newRow("this build's") << QStringLiteral(TALLOWICK_PROGRAM) << false;
#endif
#ifdef TALLOWICK_PACKAGED_PROGRAM
        QTest::newRow("the package's") << QStringLiteral(TALLOWICK_PACKAGED_PROGRAM) << true;
#endif
    }

    void programsChoice()
    {
        QFETCH(QString, program);
        QFETCH(bool, inConfigHome);
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.path());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, {QStringLiteral("--help")});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const QString folder = inConfigHome
                                   ? QDir(scratch.path()).filePath(QStringLiteral("tallowick"))
                                   : QFileInfo(program).canonicalPath();
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        QVERIFY2(
            out.contains(QStringLiteral("\nConfiguration slots (config1.ini ... config5.ini): ") +
                         folder + u'\n'),
            qPrintable(out));
    }
};

QTEST_MAIN(TestSlotFolder)
#include "tst_slot_folder.moc"
