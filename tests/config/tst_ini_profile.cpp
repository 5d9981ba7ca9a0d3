// The INI rules of the Windows profile functions, read and written. More
// hostile files are seeds of fuzz/corpus/ini_reader.
#include "config/config_format.h"
#include "config/ini_profile.h"

#include <QTest>

using namespace tallowick;

class TestIniProfile : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_MAIN(TestIniProfile)
#include "tst_ini_profile.moc"
