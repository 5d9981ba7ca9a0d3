#include "config/config_format.h"
#include "config/ini_profile.h"

#include <QTest>

using namespace tallowick;

class TestIniProfile : public QObject
{
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void writeInPlace_data();
    void writeInPlace();
    void manyKeysAtOnce_data();
    void manyKeysAtOnce();
    void anyContentLoads_data();
    void anyContentLoads();
    void exportedFileLoadsBack();
    void leadingByteOrderMarkSurvivesSave();
};

void TestIniProfile::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value"); // "<none>": the key is not found
    const QByteArray none("<none>");
    const QByteArray file = "; comment=1\r\n"
                            "[Other]\r\n"
                            "IP=other section\r\n"
                            "[settings]\r\n"
                            "  Port  =  1560  \r\n"
                            "ip=first\r\n"
                            "IP=second\r\n"
                            ";TIMEOUT=commented\r\n"
                            "noteText0=a=b==c\r\n"
                            "CMD0\r\n"
                            "quoted=\"x\"\r\n"
                            "[SETTINGS]\r\n"
                            "REPEAT=later section\r\n";
    QTest::newRow("blanks dropped") << file << QByteArray("PORT") << QByteArray("1560");
    QTest::newRow("first of twice") << file << QByteArray("IP") << QByteArray("first");
    QTest::newRow("comment ignored") << file << QByteArray("TIMEOUT") << none;
    QTest::newRow("after first =") << file << QByteArray("NOTETEXT0") << QByteArray("a=b==c");
    QTest::newRow("no =") << file << QByteArray("CMD0") << QByteArray();
    QTest::newRow("quotes kept") << file << QByteArray("quoted") << QByteArray("\"x\"");
    QTest::newRow("section again") << file << QByteArray("REPEAT") << QByteArray("later section");
    QTest::newRow("absent") << file << QByteArray("CMD1") << none;
    QTest::newRow("no section") << QByteArray("IP=1\r\n") << QByteArray("IP") << none;
    QTest::newRow("LF only") << QByteArray("[SETTINGS]\nIP=a\nPORT=b") << QByteArray("PORT")
                             << QByteArray("b");
    QTest::newRow("CR only") << QByteArray("[SETTINGS]\rIP=a\rPORT=b\r") << QByteArray("IP")
                             << QByteArray("a");
    QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF[SETTINGS]\r\nIP=a\r\n") << QByteArray("IP")
                         << QByteArray("a");
}

void TestIniProfile::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QCOMPARE(IniProfile(file).value("SETTINGS", key).value_or("<none>"), value);
}

void TestIniProfile::writeInPlace_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("new file") << QByteArray() << QByteArray("[SETTINGS]\r\nIP=v\r\n");
    QTest::newRow("replaced in place") << QByteArray("[Settings]\n ip = old \n;c\r\nX=1")
                                       << QByteArray("[Settings]\nip=v\n;c\r\nX=1");
    QTest::newRow("appended after last line of section")
        << QByteArray("[SETTINGS]\r\nX=1\r\n;note\r\n\r\n[B]\r\nIP=b\r\n")
        << QByteArray("[SETTINGS]\r\nX=1\r\n;note\r\nIP=v\r\n\r\n[B]\r\nIP=b\r\n");
    QTest::newRow("unterminated last line")
        << QByteArray("[SETTINGS]\r\nX=1") << QByteArray("[SETTINGS]\r\nX=1\r\nIP=v\r\n");
    QTest::newRow("section added at the end")
        << QByteArray("[A]\nX=1") << QByteArray("[A]\nX=1\r\n[SETTINGS]\r\nIP=v\r\n");
    QTest::newRow("BOM kept") << QByteArray("\xEF\xBB\xBF[SETTINGS]\r\nIP=old\r\n")
                              << QByteArray("\xEF\xBB\xBF[SETTINGS]\r\nIP=v\r\n");
}

void TestIniProfile::writeInPlace()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    IniProfile profile(before);
    profile.setValue("SETTINGS", "IP", "v");
    QCOMPARE(profile.bytes(), after);
}

void TestIniProfile::manyKeysAtOnce_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("new file") << QByteArray();
    QTest::newRow("some keys there") << QByteArray("[settings]\r\n port = 1 \r\nCMD0\r\n");
    QTest::newRow("key twice, sections twice")
        << QByteArray("[SETTINGS]\nIP=a\nip=b\n\n[B]\nPORT=x\n[Settings]\nPORT=c\nX=1");
    QTest::newRow("blank lines before the next section")
        << QByteArray("[A]\r\n[SETTINGS]\r\nX=1\r\n;c\r\n\r\n\r\n[B]\r\nIP=b\r\n");
    QTest::newRow("other section only") << QByteArray("[A]\nIP=1");
    QTest::newRow("unterminated header") << QByteArray("[SETTINGS]");
}

// Many keys read or written in one pass give exactly what one key after
// another gives.
void TestIniProfile::manyKeysAtOnce()
{
    QFETCH(QByteArray, file);
    const std::vector<QByteArrayView> keys{"IP", "port", "REPEAT", "CMD0", "X", "noteText1"};
    const std::vector<QByteArrayView> values{"1", "2\r\n3", "", " 4 ", QByteArrayView("5\0006", 3),
                                             "六"};

    IniProfile oneByOne(file);
    std::vector<std::optional<QByteArray>> readOneByOne;
    for (std::size_t k = 0; k < keys.size(); ++k)
        readOneByOne.push_back(oneByOne.value("SETTINGS", keys[k]));
    QVERIFY(IniProfile(file).values("SETTINGS", keys) == readOneByOne);

    for (std::size_t k = 0; k < keys.size(); ++k)
        oneByOne.setValue("SETTINGS", keys[k], values[k]);
    IniProfile atOnce(file);
    atOnce.setValues("SETTINGS", keys, values);
    QCOMPARE(atOnce.bytes(), oneByOne.bytes());
}

void TestIniProfile::anyContentLoads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("cmd0"); // what the first command line receives
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919) % 256);
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("binary") << binary << QString();
    QTest::newRow("binary then settings")
        << (binary + "\r\n[SETTINGS]\r\nCMD0=0103\r\n") << QStringLiteral("0103");
    QTest::newRow("NUL in value") << QByteArray("[SETTINGS]\nCMD0=01\0"
                                                "02\n",
                                                22)
                                  << QStringLiteral("01");
    QTest::newRow("megabyte line")
        << ("[SETTINGS]\r\nCMD0=" + QByteArray(1 << 20, 'A')) << QString(255, u'A');
    QTest::newRow("no line break") << QByteArray("[SETTINGS] CMD0=0103") << QString();
    QTest::newRow("only breaks") << QByteArray(100000, '\n') << QString();
    QTest::newRow("UTF-8 with BOM")
        << QByteArray("\xEF\xBB\xBF[SETTINGS]\nCMD0=新\n") << QStringLiteral("新");
}

void TestIniProfile::anyContentLoads()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, cmd0);
    const QStringList values = configValuesFromFile(file, 950);
    QCOMPARE(values.size(), configValueCount);
    QCOMPARE(values.at(9), cmd0);
}

void TestIniProfile::exportedFileLoadsBack()
{
    QStringList values;
    for (int i = 0; i < configValueCount; ++i)
        values << QStringLiteral("值%1=x").arg(i);
    values[0].clear();
    const QByteArray file = exportedFile(values, 950);
    QVERIFY(file.startsWith("[SETTINGS]\r\nfilename=\r\nIP=\xAD\xC8"
                            "1=x\r\nport="));
    QVERIFY(file.endsWith("\r\nnoteText14=\xAD\xC8"
                          "38=x\r\n"));
    QCOMPARE(file.count("\r\n"), 40);
    QCOMPARE(configValuesFromFile(file, 950), values);
}

// In a file saved as UTF-8, a value may itself start with a byte-order mark;
// it stays a character of the value, so the blanks after it stay too.
void TestIniProfile::leadingByteOrderMarkSurvivesSave()
{
    const QByteArray file("\xEF\xBB\xBF[SETTINGS]\r\nCMD0=\xEF\xBB\xBF  01 03\r\n");
    const QStringList values = configValuesFromFile(file, 950);
    QCOMPARE(values.at(9), QChar(0xFEFF) + QStringLiteral("  01 03"));
    const QByteArray saved = slotFileWith(file, values, 950);
    QCOMPARE(configValuesFromFile(saved, 950), values);
}

QTEST_GUILESS_MAIN(TestIniProfile)
#include "tst_ini_profile.moc"
