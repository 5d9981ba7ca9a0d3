// Where the window keeps its slot files when it is given no folder: beside the
// program in a build run from its tree or installed into a user prefix, in
// the user's configuration home in the package. This file is built twice: as
// tst_slot_folder with the choice of the build, and as
// tst_slot_folder_packaged with the package's.
#include "config/slot_folder.h"
#include "support/files.h"
#include "support/scripted_dialogs.h"
#include "ui/main_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
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
    // XDG_CONFIG_HOME and HOME, relative to a scratch folder ("-" unset), and
    // where the configuration home is then.
    void startUpAndSave_data()
    {
        QTest::addColumn<QString>("xdgConfigHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("configHome");
        const auto row = [](const char *tag, const char *xdg, const char *home,
                            const char *configHome) {
            QTest::newRow(tag) << QString::fromUtf8(xdg) << QString::fromUtf8(home)
                               << QString::fromUtf8(configHome);
        };
        row("XDG_CONFIG_HOME", "xdg", "home", "xdg/tallowick");
        row("XDG_CONFIG_HOME, nested folders made", "not/yet/there", "home",
            "not/yet/there/tallowick");
        row("no XDG_CONFIG_HOME", "-", "home", "home/.config/tallowick");
        row("empty XDG_CONFIG_HOME", "", "home", "home/.config/tallowick");
    }

    // The real start-up and "Save setting" of a window given no folder, and
    // its "Kill All Files" in the configuration home, in the folder of this
    // build's choice.
    void startUpAndSave()
    {
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

        const bool inConfigHome = builtInSlotPlace() == SlotPlace::ConfigHome;
#ifdef TALLOWICK_SLOTS_IN_CONFIG_HOME
        QVERIFY(inConfigHome); // the package's twin, linked with its own choice
#endif
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
};

QTEST_MAIN(TestSlotFolder)
#include "tst_slot_folder.moc"
