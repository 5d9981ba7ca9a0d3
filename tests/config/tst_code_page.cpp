// The code pages of the configuration files: which one a locale implies, and
// text converted both ways. Bytes from /usr/bin/python3:
// text.encode("cpNNN", "replace").hex().
#include "config/code_page.h"

#include <QTest>

using namespace tallowick;

class TestCodePage : public QObject
{
    Q_OBJECT
private slots:
    // The code pages of Windows' "Language for non-Unicode programs": one
    // language of each, and every rule on the way to it.
    void localeCodePage()
    {
        for (const QByteArray &row :
             QByteArray(
                 "=950 C=950 C.UTF-8=950 POSIX=950 .UTF-8=950 zh_TW.UTF-8=950 zh_HK.UTF-8=950 "
                 "zh_MO=950 zh_CN.GB18030=936 zh_SG=936 ja_JP.UTF-8=932 ko_KR.EUC-KR=949 "
                 "th_TH=874 en_US.UTF-8=1252 de_DE@euro=1252 pl_PL=1250 sk=1250 "
                 "ru_RU.UTF-8=1251 sah=1251 sr_RS@latin=1250 uz=1254 uz_UZ@latin=1254 "
                 "uz_UZ@cyrillic=1251 el_GR=1253 tr_TR=1254 iw=1255 ckb=1256 lt_LT=1257 "
                 "vi_VN=1258")
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
};

QTEST_MAIN(TestCodePage)
#include "tst_code_page.moc"
