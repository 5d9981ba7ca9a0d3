// The configuration slot handlers of the main window: start-up's load, choosing
// a slot from the list, saving, deleting, import and export.
#include "config/config_format.h"
#include "support/files.h"
#include "support/window_fixture.h"
#include "ui/config_slots.h"
#include "ui/main_window_layout.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tallowick;
using namespace tallowick::test;

namespace {

// As a Windows machine exports a slot: Big5, print-zone blanks after "=".
QByteArray windowsExport()
{
    QByteArray file = "[SETTINGS]\r\nfilename=\xB4\xFA\xB8\xD5\r\nIP=127.0.0.1\r\nport=1560\r\n"
                      "timeout=3000\r\nrepeat=       500\r\nREPEAT_START=2\r\nREPEAT_STOP=4\r\n"
                      "SEND_CNT=     3\r\nREPEAT_CNT=10\r\n";
    for (int i = 0; i < 15; ++i)
        file += "CMD" + QByteArray::number(i) + "=0103000A0001\r\n";
    for (int i = 0; i < 15; ++i)
        file += "noteText" + QByteArray::number(i) + "=\xC5\xAA\xA8\xFA\r\n";
    return file;
}

QString failed(const QString &what)
{
    return what + QStringLiteral(" Failed.|48|Failed Msg");
}

// The main window shown and active, the boxes of its start-up forgotten.
struct Window
{
    WindowFixture f{true};
    Controls &ui = f.ui();
    QDir folder{f.folder.path()};
    QString requests; // the file dialogs' modes, each with the filter checked

    Window()
    {
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.dialogs.clear();
    }
    // Picks a slot from the list with the arrow keys.
    void choose(int index)
    {
        ui.filecombo->setFocus(Qt::MouseFocusReason);
        while (ui.filecombo->currentIndex() != index)
            QTest::keyClick(ui.filecombo,
                            ui.filecombo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    }
    void leave() { QTest::mouseClick(ui.cmd[0], Qt::LeftButton); }
    void kill(int index) { ui.killCmd[index]->click(); }
    // Clicks Import or Export and answers with a file of the folder; null cancels.
    void answer(const QString &name, QPushButton *button)
    {
        f.dialogs.files.push_back(name.isNull() ? std::nullopt
                                                : std::optional(folder.filePath(name)));
        button->click();
        const FileDialogRequest &request = f.dialogs.fileRequests.last();
        QCOMPARE(request.filter, QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt"));
        QCOMPARE(request.filterIndex, 2);
        requests += request.mode == FileDialogMode::Save ? "Save " : "Open ";
    }
    QByteArray read(const QString &name) const { return readFile(folder.filePath(name)); }
    // The slot file name, the filename caption and the boxes shown since last asked.
    QString state()
    {
        const QString now = f.window->configSlots().fileName() + u' ' + ui.filename->text() +
                            f.dialogs.shown().join(u'|');
        f.dialogs.clear();
        return now;
    }
};

} // namespace

class TestConfigSlots : public QObject
{
    Q_OBJECT
private slots:
    // Start-up with config1.ini: the boxes that show it. In an empty folder the
    // boxes keep their defaults (tst_main_window_layout) and the failure shows
    // (tst_slot_folder).
    void startUp()
    {
        const std::pair<QByteArray, QString> rows[] = {
            {"[SETTINGS]\r\n", "|||||||Load Save File config1.ini Success."},
            {windowsExport(),
             "測試|1560|500|3|10|0103000A0001|讀取|Load Save File config1.ini Success."}};
        for (const auto &[file, shown] : rows) {
            QTemporaryDir folder;
            lay(folder.path(), {"config1.ini=" + file});
            ScriptedDialogs dialogs;
            MainWindow window(folder.path());
            const Controls &ui = window.controls();
            QCOMPARE((QStringList{ui.filetitle->text(), ui.port->text(), ui.repeat->text(),
                                  ui.sendCnt->text(), ui.rCNT->text(), ui.cmd[14]->text(),
                                  ui.noteText[14]->text(), ui.status->text()} +
                      dialogs.shown())
                         .join(u'|'),
                     shown);
            QCOMPARE(ui.filename->text() + ui.ver->text(), QStringLiteral("config1：1311141140"));
        }
    }

    // A slot loads when the focus leaves the list after a choice from it.
    void choosing()
    {
        Window w;
        const auto boxes = configBoxes(w.f.window.get());
        QStringList saved;
        for (int i = 0; i < configValueCount; ++i)
            boxes[i]->setText(saved.emplaceBack(QStringLiteral("v%1").arg(i)));
        boxes[0]->setText(saved[0] = QStringLiteral("測試組　一"));
        boxes[25]->setText(saved[25] = QStringLiteral("新").repeated(150)); // 300 bytes
        QTest::mouseClick(w.ui.save, Qt::LeftButton);
        QVERIFY(
            w.read("config1.ini")
                .startsWith("[SETTINGS]\r\nFILENAME=\xB4\xFA\xB8\xD5\xB2\xD5\xA1\x40\xA4\x40\r\n"
                            "IP=v1\r\nPORT=v2\r\nTIMEOUT=v3\r\n"));
        for (QLineEdit *box : boxes)
            box->setText(QStringLiteral("edited"));
        QTest::mouseClick(w.ui.filecombo->lineEdit(), Qt::LeftButton);
        QVERIFY(w.ui.filecombo->hasFocus());
        w.leave(); // nothing chosen: the edits stay
        QCOMPARE(w.state() + boxes[9]->text(), QStringLiteral("config1.ini config1：edited"));
        w.choose(0);
        w.leave(); // all 39 back, 255 bytes at most, no half character
        saved[25].truncate(127);
        for (int i = 0; i < configValueCount; ++i)
            QCOMPARE(boxes[i]->text(), saved[i]);
        QCOMPARE(w.ui.status->text(), QStringLiteral("Load Save File config1.ini Success."));
        w.choose(2);
        w.leave();
        QCOMPARE(w.state(), "config3.ini config3：" + failed("Load Save File config3.ini"));
        QCOMPARE(w.ui.cmd[0]->text() + w.ui.noteText[14]->text(), QString()); // all 39 emptied
        QTest::mouseClick(w.ui.save, Qt::LeftButton);
        QCOMPARE(w.ui.status->text(), QStringLiteral("Save File config3.ini Success."));
        QVERIFY(w.read("config3.ini").startsWith("[SETTINGS]\r\nFILENAME=\r\n"));
        // Chosen, then saved: loaded first, the values shown before not copied.
        lay(w.folder.path(), {"config2.ini=[SETTINGS]\r\nCMD0=0102\r\n"});
        w.ui.cmd[0]->setText(QStringLiteral("shown"));
        w.choose(1);
        w.ui.save->click(); // as by a key: the focus stays in the list

        QCOMPARE(w.state(), QStringLiteral("config2.ini config2："));
        QCOMPARE(w.ui.status->text() + w.ui.cmd[0]->text(),
                 QStringLiteral("Save File config2.ini Success.0102"));
        QVERIFY(w.read("config2.ini").startsWith("[SETTINGS]\r\nCMD0=0102\r\nFILENAME=\r\n"));
        w.choose(0); // pending at close: loads nothing
        w.f.window.reset();
        QCOMPARE(w.f.dialogs.messages.size(), 0);
    }

    // Kill All deletes the files and links named "*.ini" in any letter case
    // directly in the folder: no folder, nothing a link points to, no hidden file.
    void killAndSaveFailures()
    {
        Window w;
        QTemporaryDir outside;
        lay(w.folder.path(),
            {"config1.ini=x", "config5.ini=x", "other.INI=x", "keep.txt=x", ".hidden.ini=x"});
        QVERIFY(w.folder.mkdir(QStringLiteral("folder.ini")));
        lay(w.folder.path(), {"folder.ini/inside.ini=x"});
        QVERIFY(QFile::link(w.folder.filePath(QStringLiteral("keep.txt")),
                            w.folder.filePath(QStringLiteral("link.ini"))));
        QVERIFY(QFile::link(outside.path(), w.folder.filePath(QStringLiteral("dirlink.ini"))));
        const auto entries = [&] {
            return w.folder
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                .join(u' ');
        };
        w.kill(0);
        QCOMPARE(w.state(), QStringLiteral("config1.ini config1："));
        w.kill(1);
        QCOMPARE(w.state(), "config2.ini config1：no found file config2.ini|0|Tallowick");
        w.f.dialogs.answers.push_back(MessageAnswer::No);
        w.kill(5);
        QTest::mouseClick(w.ui.save, Qt::LeftButton);
        QCOMPARE(w.state(),
                 "*.ini config1：Sure?Kill all files?|52|Kill files|" + failed("Save File *.ini"));
        QCOMPARE(w.ui.status->text(), QStringLiteral("Save File *.ini Failed."));
        QCOMPARE(entries(),
                 QStringLiteral(
                     ".hidden.ini config5.ini dirlink.ini folder.ini keep.txt link.ini other.INI"));
        w.kill(5);
        QCOMPARE(entries(), QStringLiteral(".hidden.ini folder.ini keep.txt"));
        QVERIFY(QFileInfo::exists(w.folder.filePath(QStringLiteral("folder.ini/inside.ini"))));
        QVERIFY(QFileInfo(outside.path()).isDir());
        w.kill(1);
        w.kill(5); // nothing left: the name stays
        QCOMPARE(w.state(),
                 "config2.ini config1：Sure?Kill all files?|52|Kill files|"
                 "no found file config2.ini|0|Tallowick|Sure?Kill all files?|52|Kill files|"
                 "no found file config2.ini|0|Tallowick");
        QVERIFY(
            w.folder.mkdir(QStringLiteral("config1.ini"))); // a folder: not deleted, not saved over
        w.kill(0);
        QTest::mouseClick(w.ui.save, Qt::LeftButton);
        QCOMPARE(w.state(), "config1.ini config1：no found file config1.ini|0|Tallowick|" +
                                failed("Save File config1.ini"));
    }

    void importAndExport()
    {
        Window w;
        lay(w.folder.path(), {"out.txt=zzz", "config4.ini=[SETTINGS]\r\nCMD0=0104\r\n"});
        w.ui.cmd[0]->setText(QStringLiteral("0103"));
        w.answer(QString(), w.ui.Command4);      // cancelled
        w.answer("none/out.ini", w.ui.Command4); // no such folder
        w.answer("out.txt", w.ui.Command4);      // replaced without a question
        QCOMPARE(w.state(), "config1.ini config1：Export config file failed: " + w.folder.path() +
                                "/none/out.ini|16|Failed Msg|    Save Success.   |64|Log save");
        QVERIFY(w.read("out.txt").startsWith(
            "[SETTINGS]\r\nfilename=fileName\r\nIP=127.0.0.1\r\nport=1560\r\n"
            "timeout=3000\r\nrepeat=1000\r\nREPEAT_START=1\r\n"));
        w.choose(3);
        w.leave();
        w.kill(2); // the slot named config3.ini now
        w.ui.cmd[0]->setText(QStringLiteral("edited"));
        w.answer("config4.ini", w.ui.Command3); // imported: named config1.ini, the caption stays
        QCOMPARE(w.state(), "config1.ini config4：no found file config3.ini|0|Tallowick");
        QCOMPARE(w.ui.status->text() + w.ui.cmd[0]->text(),
                 QStringLiteral("Load Save File config1.ini Success.0104"));
        w.kill(2);
        w.answer(QString(), w.ui.Command3); // cancelled: the name stays
        QCOMPARE(w.state(), "config3.ini config4：no found file config3.ini|0|Tallowick");
        w.ui.cmd[0]->setText(QStringLiteral("kept"));
        w.answer("missing.ini", w.ui.Command3); // missing: the boxes stay
        QCOMPARE(w.state(), "config1.ini config4：" + failed("Load Save File config1.ini"));
        QCOMPARE(w.ui.cmd[0]->text(), QStringLiteral("kept"));
        w.choose(0);
        w.leave();
        w.choose(3); // chosen, then exported by a key: the choice loads first
        w.answer("chosen.ini", w.ui.Command4);
        QVERIFY(w.read("chosen.ini").contains("\r\nCMD0=0104\r\n"));
        QCOMPARE(w.requests, QStringLiteral("Save Save Save Open Open Open Save "));
    }
};

QTEST_MAIN(TestConfigSlots)
#include "tst_config_slots.moc"
