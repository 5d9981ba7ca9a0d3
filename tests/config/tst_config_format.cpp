// The 39 values of a slot or an exported file, read and written. More hostile
// files are seeds of fuzz/corpus/config_roundtrip.
#include "config/config_format.h"

#include <QTest>

using namespace tallowick;

namespace {

// 39 values, the given ones set and the others empty.
QStringList values(std::initializer_list<std::pair<int, QString>> set = {})
{
    QStringList list(configValueCount);
    for (const auto &[index, value] : set)
        list[index] = value;
    return list;
}

} // namespace

class TestConfigFormat : public QObject
{
    Q_OBJECT
private slots:
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
};

QTEST_MAIN(TestConfigFormat)
#include "tst_config_format.moc"
