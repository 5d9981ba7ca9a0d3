#include "config/code_page.h"

#include <QTest>

using namespace tallowick;

class TestCodePage : public QObject
{
    Q_OBJECT
private slots:
    void localeCodePage_data();
    void localeCodePage();
    void convert_data();
    void convert();
    void lostCharacters();
    void invalidBytesDecode();
    void malformedUtf8Decode_data();
    void malformedUtf8Decode();
    void cutKeepsDoubleByteCharacters_data();
    void cutKeepsDoubleByteCharacters();
};

void TestCodePage::localeCodePage_data()
{
    // The "Language for non-Unicode programs" code pages of Windows.
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<int>("codePage");
    QTest::newRow("empty") << QByteArray() << 950;
    const QByteArray rows = "C=950 C.UTF-8=950 POSIX=950 zh_TW.UTF-8=950 zh_HK.UTF-8=950 "
                            "zh_CN.GB18030=936 ja_JP.UTF-8=932 ko_KR.EUC-KR=949 en_US.UTF-8=1252 "
                            "de_DE@euro=1252 pl_PL=1250 ru_RU.UTF-8=1251 sr_RS@latin=1250 "
                            "el_GR=1253 tr_TR=1254 he_IL=1255 ar_EG=1256 lt_LT=1257 vi_VN=1258 "
                            "th_TH=874";
    for (const QByteArray &row : rows.split(' ')) {
        const QByteArrayList parts = row.split('=');
        QTest::newRow(parts[0].constData()) << parts[0] << parts[1].toInt();
    }
}

void TestCodePage::localeCodePage()
{
    QFETCH(QByteArray, locale);
    QFETCH(int, codePage);
    QCOMPARE(codepage::forLocale(locale), codePage);
}

void TestCodePage::convert_data()
{
    // Bytes from /usr/bin/python3: text.encode("cpNNN").hex().
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("950") << 950 << QStringLiteral("新細明體")
                         << QByteArray::fromHex("b773b2d3a9fac5e9");
    QTest::newRow("950 full-width") << 950 << QStringLiteral("傳送CMD1：　€")
                                    << QByteArray::fromHex("b6c7b065434d4431a147a140a3e1");
    QTest::newRow("932") << 932 << QStringLiteral("テスト～①")
                         << QByteArray::fromHex("83658358836781608740");
    QTest::newRow("936") << 936 << QStringLiteral("简体中文")
                         << QByteArray::fromHex("bcf2cce5d6d0cec4");
    QTest::newRow("949") << 949 << QStringLiteral("한국어") << QByteArray::fromHex("c7d1b1b9beee");
    QTest::newRow("1252") << 1252 << QStringLiteral("Ünïcødé €")
                          << QByteArray::fromHex("dc6eef63f864e92080");
    QTest::newRow("1251") << 1251 << QStringLiteral("Привет")
                          << QByteArray::fromHex("cff0e8e2e5f2");
    QTest::newRow("1250") << 1250 << QStringLiteral("Łódź") << QByteArray::fromHex("a3f3649f");
}

void TestCodePage::convert()
{
    QFETCH(int, codePage);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(codepage::encode(text, codePage), bytes);
    QCOMPARE(codepage::decode(bytes, codePage), text);
}

void TestCodePage::lostCharacters()
{
    // /usr/bin/python3: "新é日本😀".encode("cp950", "replace").hex()
    QCOMPARE(codepage::encode(QStringLiteral("新é日本😀"), 950),
             QByteArray::fromHex("b7733fa4e9a5bb3f"));
    QCOMPARE(codepage::encode(QStringLiteral("中a"), 1252), QByteArray("?a"));
}

void TestCodePage::invalidBytesDecode()
{
    // A lone lead byte at the end and a byte no character starts with.
    QCOMPARE(codepage::decode(QByteArray::fromHex("41b7"), 950), QStringLiteral("A?"));
    QCOMPARE(codepage::decode(QByteArray::fromHex("ffb773"), 950), QStringLiteral("?新"));
    QCOMPARE(codepage::decode(QByteArray::fromHex("a130"), 950), QStringLiteral("?0"));
    QCOMPARE(codepage::decode(QByteArray::fromHex("41ff42"), codepage::utf8),
             QStringLiteral("A?B"));
}

void TestCodePage::malformedUtf8Decode_data()
{
    // Every byte that starts no well-formed UTF-8 character reads as one "?":
    // the well-formed forms are those of Unicode's table 3-7.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("beyond U+10FFFF") << QByteArray::fromHex("41f4b6b6b642") << "A????B";
    QTest::newRow("five-byte form") << QByteArray::fromHex("f888808080") << "?????";
    QTest::newRow("overlong slash") << QByteArray::fromHex("c0af") << "??";
    QTest::newRow("overlong three bytes") << QByteArray::fromHex("e080af") << "???";
    QTest::newRow("surrogate") << QByteArray::fromHex("eda080") << "???";
    QTest::newRow("cut at the end") << QByteArray::fromHex("41e696") << "A??";
    QTest::newRow("lone continuation") << QByteArray::fromHex("80e696b0") << "?新";
    QTest::newRow("largest and smallest four-byte")
        << QByteArray::fromHex("f48fbfbff0908080") << QString::fromUcs4(U"\U0010FFFF\U00010000");
    QTest::newRow("byte-order mark at the start")
        << QByteArray::fromHex("efbbbf2041") << QChar(0xFEFF) + QStringLiteral(" A");
    QTest::newRow("NUL passes") << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3);
}

void TestCodePage::malformedUtf8Decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const QString text = codepage::decode(bytes, codepage::utf8);
    QCOMPARE(text, expected);
    // Written back, it takes no more bytes than it was read from.
    QVERIFY(codepage::encode(text, codepage::utf8).size() <= bytes.size());
}

void TestCodePage::cutKeepsDoubleByteCharacters_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    const QByteArray big5 = QByteArray::fromHex("b773").repeated(150); // 300 bytes
    QTest::newRow("950 even") << 950 << big5 << 254;
    QTest::newRow("950 shifted") << 950 << ('A' + big5) << 255;
    QTest::newRow("950 short") << 950 << big5.left(10) << 10;
    QTest::newRow("932 kana") << 932 << QByteArray(300, '\xB1') << 255; // half-width: one byte
    QTest::newRow("932 kanji") << 932 << QByteArray::fromHex("8365").repeated(150) << 254;
    QTest::newRow("1252") << 1252 << QByteArray(300, '\xE9') << 255;
    QTest::newRow("utf8") << codepage::utf8 << QStringLiteral("新").repeated(100).toUtf8() << 255;
    QTest::newRow("utf8 shifted") << codepage::utf8
                                  << ("A" + QStringLiteral("新").repeated(100).toUtf8()) << 253;
}

void TestCodePage::cutKeepsDoubleByteCharacters()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QCOMPARE(codepage::prefixLength(bytes, 255, codePage), qsizetype(expected));
}

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_code_page.moc"
