// The configuration files on disk: where a slot's file is, and every failure
// reported with the system's reason.
#include "config/config_io.h"
#include "support/files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace tallowick;
using namespace tallowick::test;

class TestConfigIo : public QObject
{
    Q_OBJECT
private slots:
    // A slot is a plain file name in the program folder, nothing above or beside it.
    void slotFileNames()
    {
        for (const char *refused :
             {"", ".", "..", "../config1.ini", "a\\b", "c:x", "*.ini", "a\tb"})
            QCOMPARE(slotFilePath(QStringLiteral("/p"), QString::fromLatin1(refused)), QString());
        for (const char *name : {"config1.ini", "...", ".hidden", "測試 1.ini"})
            QCOMPARE(slotFilePath(QStringLiteral("/p"), QString::fromUtf8(name)),
                     QStringLiteral("/p/") + QString::fromUtf8(name));
    }

    // Each operation on a file that fails says why, in the system's words
    // (strerror's texts of glibc); one that succeeds says nothing.
    void failures_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("path"); // below a folder holding slot.ini, sub/ and out/x.ini
        QTest::addColumn<QString>("reason");
        const QString missing = QStringLiteral("No such file or directory");
        const auto row = [](const char *name, const char *operation, const char *path,
                            const QString &reason) {
            QTest::newRow(name) << QString::fromLatin1(operation) << QString::fromLatin1(path)
                                << reason;
        };
        row("read a file", "read", "slot.ini", {});
        row("read nothing", "read", "none.ini", missing);
        row("read a folder", "read", "sub", QStringLiteral("Is a directory"));
        row("read a device", "read", "/dev/null", QStringLiteral("Not a regular file"));
        row("read no name", "read", "", missing);
        row("save into a missing folder", "save", "gone/slot.ini", QStringLiteral("*"));
        row("save over a folder", "save", "sub", QStringLiteral("*"));
        row("save no name", "save", "", QStringLiteral("Invalid argument"));
        row("export into a missing folder", "export", "gone/x.ini", QStringLiteral("*"));
        row("delete a file", "delete", "slot.ini", {});
        row("delete nothing", "delete", "none.ini", missing);
        row("delete a folder", "delete", "sub", QStringLiteral("Is a directory"));
        row("delete the slots of a folder", "deleteAll", "out", {});
        row("delete the slots of a folder without any", "deleteAll", "sub", missing);
        row("delete the slots of a missing folder", "deleteAll", "gone", missing);
    }

    void failures()
    {
        QFETCH(QString, operation);
        QFETCH(QString, path);
        QFETCH(QString, reason);
        QTemporaryDir root;
        lay(root.path(), {"slot.ini=[SETTINGS]\r\nCMD0=0103\r\n", "sub/notes.txt=x",
                          "out/x.ini=[SETTINGS]\r\n"});
        const QString full =
            path.isEmpty() || path.startsWith(u'/') ? path : QDir(root.path()).filePath(path);
        const QStringList values(configValueCount, QStringLiteral("v"));
        FileFailure failure;
        if (operation == u"read") {
            const ConfigRead read = readConfigFile(full);
            if (const auto *error = std::get_if<FileError>(&read))
                failure = *error;
            else
                QCOMPARE(std::get<QStringList>(read).value(FirstCommandValue),
                         QStringLiteral("0103"));
        } else if (operation == u"save") {
            failure = saveSlotFile(full, values);
        } else if (operation == u"export") {
            failure = exportConfigFile(full, values);
        } else if (operation == u"delete") {
            failure = deleteFile(full);
        } else {
            failure = deleteIniFiles(full);
        }
        QCOMPARE(failure.has_value(), !reason.isEmpty());
        if (failure && reason != u"*")
            QCOMPARE(failure->reason, reason);
        if (failure)
            QVERIFY(!failure->reason.isEmpty());
        if (!failure && operation.startsWith(u"delete"))
            QVERIFY(!QFileInfo::exists(operation == u"delete" ? full : full + "/x.ini"));
    }
};

QTEST_MAIN(TestConfigIo)
#include "tst_config_io.moc"
