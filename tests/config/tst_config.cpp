// The configuration: code pages, the INI rules of the Windows profile
// functions, the 39 values and what Kill may delete, without a window; then
// the slot handlers on the main window's controls. Code page bytes from
// /usr/bin/python3: text.encode("cpNNN", "replace").hex(). More hostile files
// are seeds of fuzz/corpus/{ini_reader,config_roundtrip}.
#include "config/code_page.h"
#include "config/config_format.h"
#include "config/config_io.h"
#include "config/ini_profile.h"
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

// 39 values, the given ones set and the others empty.
QStringList values(std::initializer_list<std::pair<int, QString>> set = {})
{
    QStringList list(configValueCount);
    for (const auto &[index, value] : set)
        list[index] = value;
    return list;
}

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

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    // The code pages of Windows' "Language for non-Unicode programs".
    void localeCodePage()
    {
        for (const QByteArray &row :
             QByteArray(
                 "=950 C=950 C.UTF-8=950 POSIX=950 zh_TW.UTF-8=950 zh_HK.UTF-8=950 "
                 "zh_CN.GB18030=936 ja_JP.UTF-8=932 ko_KR.EUC-KR=949 en_US.UTF-8=1252 "
                 "de_DE@euro=1252 pl_PL=1250 ru_RU.UTF-8=1251 sr_RS@latin=1250 el_GR=1253 "
                 "tr_TR=1254 he_IL=1255 ar_EG=1256 lt_LT=1257 vi_VN=1258 th_TH=874 "
                 "cs=1250 hu=1250 ro=1250 sk=1250 sl=1250 hr=1250 sq=1250 bs=1250 tk=1250 uk=1251 "
                 "be=1251 bg=1251 mk=1251 sr=1251 kk=1251 ky=1251 tt=1251 mn=1251 ba=1251 sah=1251 "
                 "tg=1251 az=1254 uz=1254 uz_UZ@latin=1254 uz_UZ@cyrillic=1251 iw=1255 fa=1256 "
                 "ur=1256 ug=1256 ckb=1256 prs=1256 et=1257 lv=1257 zh_MO=950 zh_SG=936 .UTF-8=950")
                 .split(' ')) {
            const QByteArray locale = row.left(row.indexOf('='));
            QCOMPARE(locale + '=' + QByteArray::number(codepage::forLocale(locale)), row);
        }
    }

    void convert_data()
    {
        QTest::addColumn<int>("codePage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<char>("way"); // 'b'oth ways, only 'e'ncoded, only 'd'ecoded
        const auto row = [](const char *name, int codePage, const QString &text, const char *hex,
                            char way) {
            QTest::newRow(name) << codePage << text << QByteArray::fromHex(hex) << way;
        };
        const int utf8 = codepage::utf8;
        row("950", 950, "新細明體", "b773b2d3a9fac5e9", 'b');
        row("950 full-width", 950, "傳送CMD1：　€", "b6c7b065434d4431a147a140a3e1", 'b');
        row("932", 932, "テスト～①", "83658358836781608740", 'b');
        row("936", 936, "简体中文", "bcf2cce5d6d0cec4", 'b');
        row("949", 949, "한국어", "c7d1b1b9beee", 'b');
        row("1252", 1252, "Ünïcødé €", "dc6eef63f864e92080", 'b');
        row("1251", 1251, "Привет", "cff0e8e2e5f2", 'b');
        row("1250", 1250, "Łódź", "a3f3649f", 'b');
        row("950 lost", 950, "新é日本😀", "b7733fa4e9a5bb3f", 'e');
        row("1252 lost", 1252, "中a", "3f61", 'e');
        // Bytes that start no character read as "?"; for UTF-8 the
        // well-formed sequences are those of Unicode's table 3-7.
        row("950 lone lead byte", 950, "A?", "41b7", 'd');
        row("950 no lead byte", 950, "?新", "ffb773", 'd');
        row("950 bad trail byte", 950, "?0", "a130", 'd');
        row("UTF-8 FF", utf8, "A?B", "41ff42", 'd');
        row("beyond U+10FFFF", utf8, "A????B", "41f4b6b6b642", 'd');
        row("overlong", utf8, "??", "c0af", 'd');
        row("surrogate", utf8, "???", "eda080", 'd');
        row("cut at the end", utf8, "A??", "41e696", 'd');
        row("lone continuation", utf8, "?新", "80e696b0", 'd');
        row("largest, smallest", utf8,
            QString::fromUcs4(U"\U0010FFFF\U00010000\u0080\u07FF\u0800\uD7FF\uFFFF"),
            "f48fbfbff0908080c280dfbfe0a080ed9fbfefbfbf", 'd');
        row("BOM kept", utf8, QChar(0xFEFF) + QStringLiteral(" A"), "efbbbf2041", 'd');
        row("NUL", utf8, QString::fromUtf16(u"a\0b", 3), "610062", 'd');
    }

    void convert()
    {
        QFETCH(int, codePage);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(char, way);
        if (way != 'd')
            QCOMPARE(codepage::encode(text, codePage), bytes);
        if (way != 'e')
            QCOMPARE(codepage::decode(bytes, codePage), text);
        // Read and written back, a value never grows past what was read.
        QVERIFY(codepage::encode(codepage::decode(bytes, codePage), codePage).size() <=
                bytes.size());
    }

    // The read buffer's 255 bytes never end in the first half of a character.
    void cutAt255()
    {
        const QByteArray big5 = QByteArray::fromHex("b773").repeated(150);
        const QByteArray utf8 = QStringLiteral("新").repeated(100).toUtf8();
        const std::tuple<int, QByteArray, qsizetype> rows[] = {
            {950, big5, 254},
            {950, 'A' + big5, 255},
            {950, big5.left(10), 10},
            {950, QByteArray::fromHex("a4a4").repeated(150), 254}, // trail bytes that could lead
            {932, QByteArray(300, '\xB1'), 255},                   // half-width kana: one byte each
            {932, QByteArray::fromHex("9f40").repeated(150), 254},
            {950, QByteArray(254, 'A') + "\xFE\x40", 254}, // the first and last lead bytes
            {950, QByteArray(254, 'A') + "\x81\x40", 254},
            {932, QByteArray(254, 'A') + "\xFC\x40", 254},
            {1252, QByteArray(300, '\xE9'), 255},
            {codepage::utf8, utf8, 255},
            {codepage::utf8, 'A' + utf8, 253}};
        for (const auto &[codePage, bytes, kept] : rows)
            QCOMPARE(codepage::prefixLength(bytes, 255, codePage), kept);
    }

    // Values read from the file ("KEY=value", or "KEY" when absent), and the
    // file after IP=v is written into it.
    void profile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArrayList>("read");
        QTest::addColumn<QByteArray>("after");
        const auto row = [](const char *name, const QByteArray &file, const QByteArrayList &read,
                            const QByteArray &after) {
            QTest::newRow(name) << file << read << after;
        };
        const QByteArray file = "; comment=1\r\n[Other]\r\nIP=other section\r\n[settings]\r\n"
                                " Port \t=  1560 \t\r\nip=first\r\nIP=second\r\n;TIMEOUT=x\r\n"
                                "noteText0=a=b==c\r\nCMD0\r\nquoted=\"x\"\r\n[SETTINGS]\r\n"
                                "REPEAT=later section\r\n";
        row("sections, comments, twice", file,
            {"PORT=1560", "IP=first", "TIMEOUT", "noteTEXT0=a=b==c", "CMD0=", "quoted=\"x\"",
             "REPEAT=later section", "CMD1"},
            QByteArray(file).replace("ip=first", "ip=v"));
        row("new file", "", {"IP"}, "[SETTINGS]\r\nIP=v\r\n");
        row("no section", "IP=1", {"IP"}, "IP=1\r\n[SETTINGS]\r\nIP=v\r\n");
        row("LF", "[SETTINGS]\nIP=a\nPORT=b", {"PORT=b"}, "[SETTINGS]\nIP=v\nPORT=b");
        row("CR", "[SETTINGS]\rIP=a\rPORT=b\r", {"IP=a"}, "[SETTINGS]\rIP=v\rPORT=b\r");
        row("BOM", "\xEF\xBB\xBF[SETTINGS]\r\nIP=a\r\n", {"ip=a"},
            "\xEF\xBB\xBF[SETTINGS]\r\nIP=v\r\n");
        row("in place", "[Settings]\n ip = old \n;c\r\nX=1", {"IP=old"},
            "[Settings]\nip=v\n;c\r\nX=1");
        row("after the section's last line", "[SETTINGS]\r\nX=1\r\n;c\r\n\r\n[B]\r\nIP=b\r\n",
            {"IP"}, "[SETTINGS]\r\nX=1\r\n;c\r\nIP=v\r\n\r\n[B]\r\nIP=b\r\n");
        row("unterminated", "[SETTINGS]\r\nX=1", {"X=1"}, "[SETTINGS]\r\nX=1\r\nIP=v\r\n");
        row("unterminated header", "[SETTINGS]", {"IP"}, "[SETTINGS]\r\nIP=v\r\n");
        row("a section without a name", "[SETTINGS]\r\nIP=a\r\n[]\r\nPORT=b\r\n", {"IP=a", "PORT"},
            "[SETTINGS]\r\nIP=v\r\n[]\r\nPORT=b\r\n");
        row("sections twice", "[A]\r\n[SETTINGS]\nPORT=x\n\n[B]\nPORT=y\n[Settings]\nPORT=c\nX=1",
            {"PORT=x", "X=1"},
            "[A]\r\n[SETTINGS]\nPORT=x\nIP=v\r\n\n[B]\nPORT=y\n[Settings]\nPORT=c\nX=1");
    }

    // Many keys read or written in one pass give what one after another gives.
    void profile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArrayList, read);
        IniProfile oneByOne(file);
        for (const QByteArray &entry : read) {
            const std::optional<QByteArray> value = oneByOne.value("SETTINGS", entry.split('=')[0]);
            QCOMPARE(value ? entry.left(entry.indexOf('=') + 1) + *value : entry.split('=')[0],
                     entry);
        }
        const std::vector<QByteArrayView> keys{"IP", "port", "REPEAT", "CMD0", "X", "noteText1"};
        const std::vector<QByteArrayView> written{
            "v", "2\r\n3", "", " 4 ", QByteArrayView("5\0006", 3), "六"};
        std::vector<std::optional<QByteArray>> oneAfterAnother;
        for (const QByteArrayView key : keys)
            oneAfterAnother.push_back(oneByOne.value("SETTINGS", key));
        QVERIFY(oneByOne.values("SETTINGS", keys) == oneAfterAnother);
        IniProfile atOnce(file);
        atOnce.setValues("SETTINGS", keys, written);
        oneByOne.setValue("SETTINGS", keys[0], written[0]);
        QTEST(oneByOne.bytes(), "after");
        for (std::size_t k = 1; k < keys.size(); ++k)
            oneByOne.setValue("SETTINGS", keys[k], written[k]);
        QCOMPARE(atOnce.bytes(), oneByOne.bytes());
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("loaded");
        const auto row = [](const char *name, const QByteArray &file, const QString &cmd1) {
            QTest::newRow(name) << file << values({{9, cmd1}});
        };
        QByteArray binary;
        for (int i = 0; i < 4096; ++i)
            binary += char((i * 7919) % 256);
        row("empty", "", "");
        row("binary, then settings", binary + "\r\n[SETTINGS]\r\nCMD0=0103\r\n", "0103");
        row("NUL", "[SETTINGS]\nCMD0=01" + QByteArray(1, '\0') + "02\n", "01");
        row("megabyte line", "[SETTINGS]\r\nCMD0=" + QByteArray(1 << 20, 'A'), QString(255, u'A'));
        row("UTF-8 with BOM", "\xEF\xBB\xBF[SETTINGS]\nCMD0=新\n", "新");
        // A BOM starting a value is a character of it, and keeps the blanks after it.
        row("value starting with a BOM", "\xEF\xBB\xBF[SETTINGS]\r\nCMD0=\xEF\xBB\xBF  01 03\r\n",
            QChar(0xFEFF) + QStringLiteral("  01 03"));
    }

    // Loaded, saved into the same file and loaded again: the same values.
    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, loaded);
        QCOMPARE(configValuesFromFile(file, 950), loaded);
        QCOMPARE(configValuesFromFile(slotFileWith(file, loaded, 950), 950), loaded);
    }

    void writers()
    {
        QStringList v;
        QByteArray tail = "REPEAT_START=v5\r\nREPEAT_STOP=v6\r\nSEND_CNT=v7\r\nREPEAT_CNT=v8\r\n";
        for (int i = 0; i < configValueCount; ++i) {
            v << QStringLiteral("v%1").arg(i);
            const QByteArray key = i < 24 ? "CMD" + QByteArray::number(i - 9)
                                          : "noteText" + QByteArray::number(i - 24);
            tail += i < 9 ? QByteArray() : key + "=v" + QByteArray::number(i) + "\r\n";
        }
        QCOMPARE(exportedFile(v, 950),
                 "[SETTINGS]\r\nfilename=v0\r\nIP=v1\r\nport=v2\r\ntimeout=v3\r\nrepeat=v4\r\n" +
                     tail);
        QCOMPARE(slotFileWith({}, v, 950),
                 "[SETTINGS]\r\nFILENAME=v0\r\nIP=v1\r\nPORT=v2\r\nTIMEOUT=v3\r\nREPEAT=v4\r\n" +
                     tail);
        // Big5 values holding "=" come back from an export.
        v.replaceInStrings(QStringLiteral("v"), QStringLiteral("值=x"));
        QVERIFY(exportedFile(v, 950).startsWith("[SETTINGS]\r\nfilename=\xAD\xC8=x0\r\n"));
        QCOMPARE(configValuesFromFile(exportedFile(v, 950), 950), v);
    }

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

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
