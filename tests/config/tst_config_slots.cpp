#include "config/config_io.h"
#include "ui/config_slots.h"
#include "ui/main_window_layout.h"
#include "support/window_fixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tallowick;
using namespace tallowick::test;

class TestConfigSlots : public QObject
{
    Q_OBJECT
private slots:
    void startUpInEmptyFolder();
    void startUp_data();
    void startUp();
    void slotRoundTrip();
    void saveUpdatesInPlace();
    void choosingMissingSlot();
    void leavingWithoutChoiceKeepsEdits();
    void choiceThenSaveLoadsFirst();
    void saveFailures();
    void killFailures();
    void killAll();
    void exportImportRoundTrip();
    void cancelsAndFailures();
};

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList boxTexts(const Controls &ui)
{
    QStringList texts;
    for (const QLineEdit *box : configBoxes(ui))
        texts << box->text();
    return texts;
}

void setBoxTexts(const Controls &ui, const QStringList &texts)
{
    const auto boxes = configBoxes(ui);
    for (int i = 0; i < configValueCount; ++i)
        boxes[i]->setText(texts.at(i));
}

// Chinese notes, "=" inside values, empty values and values past 255 bytes.
QStringList sampleValues()
{
    QStringList values;
    for (int i = 0; i < configValueCount; ++i)
        values << QStringLiteral("v%1").arg(i);
    values[0] = QStringLiteral("測試組　一");
    values[2].clear();
    values[9] = QStringLiteral("0103").repeated(75); // 300 bytes
    values[10] = QStringLiteral("a=b=c");
    values[24] = QStringLiteral("讀取保持暫存器");
    values[25] = QStringLiteral("新").repeated(150); // 300 bytes in Big5
    values[38] = QStringLiteral("最後=第十五");
    return values;
}

// What comes back: 255 bytes at most, never half a Big5 character.
QStringList sampleValuesLoaded()
{
    QStringList values = sampleValues();
    values[9].truncate(255);
    values[25].truncate(127);
    return values;
}

// A shown, active window, so that focus moves as the user moves it.
void activate(WindowFixture &f)
{
    f.window->show();
    f.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
}

// Picks a slot from the list with the arrow keys, as a user can.
void chooseSlot(WindowFixture &f, int index)
{
    QComboBox *combo = f.ui().filecombo;
    combo->setFocus(Qt::MouseFocusReason);
    while (combo->currentIndex() < index)
        QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index)
        QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(combo->currentIndex(), index);
}

void expectMessage(const ScriptedDialogs &dialogs, const QString &text, int flags,
                   const QString &title)
{
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].text, text);
    QCOMPARE(dialogs.messages[0].flags, flags);
    QCOMPARE(dialogs.messages[0].title, title);
}

} // namespace

void TestConfigSlots::startUpInEmptyFolder()
{
    WindowFixture f;
    expectMessage(f.dialogs, QStringLiteral("Load Save File config1.ini Failed."), 48,
                  QStringLiteral("Failed Msg"));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Load Save File config1.ini Failed."));
    QCOMPARE(f.ui().cmd[14]->text(), QStringLiteral("030102030405"));
    QCOMPARE(f.ui().filetitle->text(), QStringLiteral("fileName"));
    QCOMPARE(f.ui().filename->text(), QStringLiteral("config1："));
}

void TestConfigSlots::startUp_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("expected"); // filetitle, port, repeat, sendCnt, rCNT, cmd, note
    QTest::newRow("section only") << QByteArray("[SETTINGS]\r\n")
                                  << QStringList{"", "", "", "", "", "", ""};
    QTest::newRow("filename and port") << QByteArray("[SETTINGS]\r\nfilename=bench\r\nport=502\r\n")
                                       << QStringList{"bench", "502", "", "", "", "", ""};
    // As exported on a Windows machine: Big5, CR LF, the print-zone blanks
    // after "repeat=" and "SEND_CNT=", exported key forms.
    QByteArray windows = "[SETTINGS]\r\nfilename=\xB4\xFA\xB8\xD5\r\nIP=127.0.0.1\r\nport=1560\r\n"
                         "timeout=3000\r\nrepeat=       500\r\nREPEAT_START=2\r\nREPEAT_STOP=4\r\n"
                         "SEND_CNT=     3\r\nREPEAT_CNT=10\r\n";
    for (int i = 0; i < 15; ++i)
        windows += "CMD" + QByteArray::number(i) + "=0103000A0001\r\n";
    for (int i = 0; i < 15; ++i)
        windows += "noteText" + QByteArray::number(i) + "=\xC5\xAA\xA8\xFA\r\n";
    QTest::newRow("windows export")
        << windows << QStringList{"測試", "1560", "500", "3", "10", "0103000A0001", "讀取"};
}

void TestConfigSlots::startUp()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, expected);
    QTemporaryDir folder;
    writeFile(folder.filePath(QStringLiteral("config1.ini")), file);
    ScriptedDialogs dialogs;
    MainWindow window(folder.path());
    const Controls &ui = window.controls();
    QCOMPARE(dialogs.messages.size(), 0);
    QCOMPARE(ui.status->text(), QStringLiteral("Load Save File config1.ini Success."));
    const QStringList seen{ui.filetitle->text(),   ui.port->text(), ui.repeat->text(),
                           ui.sendCnt->text(),     ui.rCNT->text(), ui.cmd[14]->text(),
                           ui.noteText[14]->text()};
    QCOMPARE(seen, expected);
    QCOMPARE(ui.ver->text(), QStringLiteral("1311141140"));
}

void TestConfigSlots::slotRoundTrip()
{
    WindowFixture f;
    activate(f);
    setBoxTexts(f.ui(), sampleValues());
    QTest::mouseClick(f.ui().save, Qt::LeftButton);
    QCOMPARE(f.ui().status->text(), QStringLiteral("Save File config1.ini Success."));
    const QByteArray saved = readFile(f.folder.filePath(QStringLiteral("config1.ini")));
    QVERIFY(saved.startsWith("[SETTINGS]\r\nFILENAME=\xB4\xFA\xB8\xD5\xB2\xD5\xA1\x40\xA4\x40\r\n"
                             "IP=v1\r\nPORT=\r\nTIMEOUT=v3\r\n"));
    QVERIFY(saved.endsWith("\r\nnoteText14=\xB3\xCC\xAB\xE1=\xB2\xC4\xA4\x51\xA4\xAD\r\n"));

    setBoxTexts(f.ui(), QStringList(configValueCount, QStringLiteral("edited")));
    f.dialogs.clear();
    chooseSlot(f, 0);
    QTest::mouseClick(f.ui().cmd[3], Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), 0);
    QCOMPARE(f.ui().status->text(), QStringLiteral("Load Save File config1.ini Success."));
    QCOMPARE(boxTexts(f.ui()), sampleValuesLoaded());
}

void TestConfigSlots::saveUpdatesInPlace()
{
    WindowFixture f;
    const QString path = f.folder.filePath(QStringLiteral("config1.ini"));
    writeFile(path, "; from the bench PC\r\n[OTHER]\r\nCMD0=keep\r\n\r\n[settings]\r\n"
                    "filename=old\r\n  IP = 127.0.0.9\r\nEXTRA=stays\r\nCMD0=0301\r\n\r\n"
                    "[Tail]\r\nx=y");
    QStringList values;
    for (int i = 0; i < configValueCount; ++i)
        values << QStringLiteral("v%1").arg(i);
    setBoxTexts(f.ui(), values);
    QTest::mouseClick(f.ui().save, Qt::LeftButton);

    QByteArray expected = "; from the bench PC\r\n[OTHER]\r\nCMD0=keep\r\n\r\n[settings]\r\n"
                          "filename=v0\r\nIP=v1\r\nEXTRA=stays\r\nCMD0=v9\r\nPORT=v2\r\n"
                          "TIMEOUT=v3\r\nREPEAT=v4\r\nREPEAT_START=v5\r\nREPEAT_STOP=v6\r\n"
                          "SEND_CNT=v7\r\nREPEAT_CNT=v8\r\n";
    for (int i = 1; i < 15; ++i)
        expected += "CMD" + QByteArray::number(i) + "=v" + QByteArray::number(9 + i) + "\r\n";
    for (int i = 0; i < 15; ++i)
        expected += "noteText" + QByteArray::number(i) + "=v" + QByteArray::number(24 + i) + "\r\n";
    expected += "\r\n[Tail]\r\nx=y";
    QCOMPARE(readFile(path), expected);
}

void TestConfigSlots::choosingMissingSlot()
{
    WindowFixture f;
    activate(f);
    f.dialogs.clear();
    chooseSlot(f, 2);
    QTest::mouseClick(f.ui().cmd[0], Qt::LeftButton);
    expectMessage(f.dialogs, QStringLiteral("Load Save File config3.ini Failed."), 48,
                  QStringLiteral("Failed Msg"));
    QCOMPARE(boxTexts(f.ui()), QStringList(configValueCount, QString()));
    QCOMPARE(f.ui().filename->text(), QStringLiteral("config3："));
    QTest::mouseClick(f.ui().save, Qt::LeftButton);
    QCOMPARE(f.ui().status->text(), QStringLiteral("Save File config3.ini Success."));
    QVERIFY(QFile::exists(f.folder.filePath(QStringLiteral("config3.ini"))));
}

void TestConfigSlots::leavingWithoutChoiceKeepsEdits()
{
    WindowFixture f;
    activate(f);
    f.ui().cmd[0]->setText(QStringLiteral("0106"));
    f.dialogs.clear();
    QTest::mouseClick(f.ui().filecombo->lineEdit(), Qt::LeftButton);
    QVERIFY(f.ui().filecombo->hasFocus());
    QTest::mouseClick(f.ui().cmd[1], Qt::LeftButton);
    QVERIFY(f.ui().cmd[1]->hasFocus());
    QCOMPARE(f.dialogs.messages.size(), 0);
    QCOMPARE(f.ui().cmd[0]->text(), QStringLiteral("0106"));

    // A choice still pending when the window closes loads nothing.
    chooseSlot(f, 1);
    f.dialogs.clear();
    f.window.reset();
    QCOMPARE(f.dialogs.messages.size(), 0);
}

void TestConfigSlots::choiceThenSaveLoadsFirst()
{
    WindowFixture f;
    activate(f);
    writeFile(f.folder.filePath(QStringLiteral("config2.ini")), "[SETTINGS]\r\nCMD0=0102\r\n");
    f.ui().cmd[0]->setText(QStringLiteral("shown before"));
    chooseSlot(f, 1);
    QTest::mouseClick(f.ui().save, Qt::LeftButton);
    QCOMPARE(f.ui().cmd[0]->text(), QStringLiteral("0102"));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Save File config2.ini Success."));
    QVERIFY(readFile(f.folder.filePath(QStringLiteral("config2.ini")))
                .startsWith("[SETTINGS]\r\nCMD0=0102\r\nFILENAME=\r\n"));
}

void TestConfigSlots::saveFailures()
{
    // A folder in the slot file's place cannot be written, nor can "*.ini".
    WindowFixture f;
    QVERIFY(QDir(f.folder.path()).mkdir(QStringLiteral("config1.ini")));
    f.dialogs.clear();
    QTest::mouseClick(f.ui().save, Qt::LeftButton);
    expectMessage(f.dialogs, QStringLiteral("Save File config1.ini Failed."), 48,
                  QStringLiteral("Failed Msg"));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Save File config1.ini Failed."));

    f.dialogs.clear();
    f.dialogs.answers.push_back(MessageAnswer::No);
    QTest::mouseClick(f.ui().killCmd[5], Qt::LeftButton);
    QCOMPARE(f.window->configSlots().fileName(), QStringLiteral("*.ini"));
    QTest::mouseClick(f.ui().save, Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts(), (QStringList{QStringLiteral("Sure?Kill all files?"),
                                                    QStringLiteral("Save File *.ini Failed.")}));
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("config1.ini")});
}

void TestConfigSlots::killFailures()
{
    WindowFixture f;
    writeFile(f.folder.filePath(QStringLiteral("config1.ini")), "[SETTINGS]\r\n");
    f.dialogs.clear();
    QTest::mouseClick(f.ui().killCmd[0], Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), 0);
    QVERIFY(!QFile::exists(f.folder.filePath(QStringLiteral("config1.ini"))));

    QTest::mouseClick(f.ui().killCmd[1], Qt::LeftButton);
    expectMessage(f.dialogs, QStringLiteral("no found file config2.ini"), 0,
                  QStringLiteral("Tallowick"));
    QCOMPARE(f.window->configSlots().fileName(), QStringLiteral("config2.ini"));
    QCOMPARE(f.ui().status->text(), QStringLiteral("Load Save File config1.ini Failed."));

    // Nothing left to match "*.ini": the name stays as it was.
    f.dialogs.clear();
    QTest::mouseClick(f.ui().killCmd[5], Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts(), (QStringList{QStringLiteral("Sure?Kill all files?"),
                                                    QStringLiteral("no found file config2.ini")}));
    QCOMPARE(f.window->configSlots().fileName(), QStringLiteral("config2.ini"));
}

void TestConfigSlots::killAll()
{
    WindowFixture f;
    QTemporaryDir outside;
    const QString target = outside.filePath(QStringLiteral("target.ini"));
    writeFile(target, "[SETTINGS]\r\n");
    QDir folder(f.folder.path());
    for (const char *name : {"config1.ini", "config5.ini", "other.INI"})
        writeFile(folder.filePath(QString::fromLatin1(name)), "x");
    writeFile(folder.filePath(QStringLiteral("keep.txt")), "x");
    QVERIFY(folder.mkdir(QStringLiteral("folder.ini")));
    writeFile(folder.filePath(QStringLiteral("folder.ini/inside.ini")), "x");
    QVERIFY(QFile::link(target, folder.filePath(QStringLiteral("link.ini"))));
    QVERIFY(QFile::link(outside.path(), folder.filePath(QStringLiteral("dirlink.ini"))));

    f.dialogs.clear();
    QTest::mouseClick(f.ui().killCmd[5], Qt::LeftButton);
    expectMessage(f.dialogs, QStringLiteral("Sure?Kill all files?"), 52,
                  QStringLiteral("Kill files"));
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("folder.ini"), QStringLiteral("keep.txt")}));
    QVERIFY(QFile::exists(folder.filePath(QStringLiteral("folder.ini/inside.ini"))));
    QVERIFY(QFile::exists(target));
    QCOMPARE(f.window->configSlots().fileName(), QStringLiteral("*.ini"));
}

void TestConfigSlots::exportImportRoundTrip()
{
    WindowFixture f;
    const QString path = f.folder.filePath(QStringLiteral("exported.txt"));
    writeFile(path, QByteArray(5000, 'z')); // replaced without a question
    setBoxTexts(f.ui(), sampleValues());
    f.ui().killCmd[3]->click(); // makes config4.ini the slot, finding no file to delete
    f.dialogs.clear();
    f.dialogs.files.push_back(path);
    QTest::mouseClick(f.ui().Command4, Qt::LeftButton);
    QCOMPARE(f.dialogs.fileRequests.size(), 1);
    QCOMPARE(f.dialogs.fileRequests[0].mode, FileDialogMode::Save);
    QCOMPARE(f.dialogs.fileRequests[0].filter,
             QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt"));
    QCOMPARE(f.dialogs.fileRequests[0].filterIndex, 2);
    expectMessage(f.dialogs, QStringLiteral("    Save Success.   "), 64,
                  QStringLiteral("Log save"));
    const QByteArray exported = readFile(path);
    QVERIFY(exported.startsWith("[SETTINGS]\r\nfilename=\xB4\xFA"));
    QVERIFY(exported.contains("\r\nport=\r\ntimeout=v3\r\nrepeat=v4\r\nREPEAT_START=v5\r\n"));
    QCOMPARE(exported.count("\r\n"), 40);
    QCOMPARE(f.window->configSlots().fileName(), QStringLiteral("config4.ini"));

    setBoxTexts(f.ui(), QStringList(configValueCount, QStringLiteral("edited")));
    f.ui().filename->setText(QStringLiteral("config4："));
    f.dialogs.clear();
    f.dialogs.files.push_back(path);
    QTest::mouseClick(f.ui().Command3, Qt::LeftButton);
    QCOMPARE(f.dialogs.fileRequests[0].mode, FileDialogMode::Open);
    QCOMPARE(f.dialogs.messages.size(), 0);
    QCOMPARE(boxTexts(f.ui()), sampleValuesLoaded());
    QCOMPARE(f.ui().status->text(), QStringLiteral("Load Save File config1.ini Success."));
    QCOMPARE(f.window->configSlots().fileName(), QStringLiteral("config1.ini"));
    QCOMPARE(f.ui().filename->text(), QStringLiteral("config4："));
}

void TestConfigSlots::cancelsAndFailures()
{
    WindowFixture f;
    f.dialogs.clear();
    f.dialogs.files.push_back(std::nullopt);
    QTest::mouseClick(f.ui().Command4, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), 0);

    const QString path = f.folder.filePath(QStringLiteral("no such folder/out.ini"));
    f.dialogs.files.push_back(path);
    QTest::mouseClick(f.ui().Command4, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), 1);
    QVERIFY(f.dialogs.messages[0].text.startsWith(QStringLiteral("Export config file failed: ") +
                                                  path + u'\n'));
    QCOMPARE(f.dialogs.messages[0].flags, 16);
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());

    // Import: a cancel changes no name; a missing file keeps the boxes.
    QTest::mouseClick(f.ui().killCmd[3], Qt::LeftButton);
    f.dialogs.clear();
    QTest::mouseClick(f.ui().Command3, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), 0);
    QCOMPARE(f.window->configSlots().fileName(), QStringLiteral("config4.ini"));
    f.dialogs.files.push_back(f.folder.filePath(QStringLiteral("missing.ini")));
    f.ui().cmd[0]->setText(QStringLiteral("kept"));
    QTest::mouseClick(f.ui().Command3, Qt::LeftButton);
    expectMessage(f.dialogs, QStringLiteral("Load Save File config1.ini Failed."), 48,
                  QStringLiteral("Failed Msg"));
    QCOMPARE(f.ui().cmd[0]->text(), QStringLiteral("kept"));
}

QTEST_MAIN(TestConfigSlots)
#include "tst_config_slots.moc"
