#include "support/window_fixture.h"
#include "ui/log_box.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace tallowick;
using namespace tallowick::test;

class TestLogPanel : public QObject
{
    Q_OBJECT
private slots:
    void newestEntryOnTop();
    void clearButton();
    void saveLogContent();
    void saveLogReplacesExistingFile();
    void saveLogEmptyLog();
    void saveLogCancelled();
    void saveLogFailureIsReported();
    void longLogKeepsEveryLine();
    void scrollingToTheEndShowsOlderLines();
    void linesInViewOrSelectedStayInTheBox();
};

namespace {
QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

void TestLogPanel::newestEntryOnTop()
{
    WindowFixture f;
    f.window->log().addEntry(QStringLiteral("first"), 2);
    f.window->log().addEntry(QStringLiteral("second"), 1);
    const QString log = f.logText();
    static const QRegularExpression shape(
        QStringLiteral("^\\d\\d:\\d\\d:\\d\\d   second\r\n\\d\\d:\\d\\d:\\d\\d   first\r\n\r\n$"));
    QVERIFY2(shape.match(log).hasMatch(), qPrintable(log));
}

void TestLogPanel::clearButton()
{
    WindowFixture f;
    f.window->log().addEntry(QStringLiteral("something"), 2);
    QTest::mouseClick(f.ui().Command1, Qt::LeftButton);
    QCOMPARE(f.logText(), QString());
    QCOMPARE(f.ui().status->text(), QStringLiteral("Log box clear"));
}

void TestLogPanel::saveLogContent()
{
    WindowFixture f;
    f.window->log().addEntry(QStringLiteral("傳送CMD1： > 030102030405 0E93"), 2);
    f.window->log().addEntry(QStringLiteral("接收 < 0103020005 7847"), 1);
    const QString path = f.folder.filePath(QStringLiteral("log.txt"));
    f.dialogs.clear();
    f.dialogs.files.push_back(path);
    QTest::mouseClick(f.ui().savelog, Qt::LeftButton);

    QCOMPARE(f.dialogs.fileRequests.size(), 1);
    QCOMPARE(f.dialogs.fileRequests[0].mode, FileDialogMode::Save);
    QCOMPARE(f.dialogs.fileRequests[0].filter,
             QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt"));
    QCOMPARE(f.dialogs.fileRequests[0].filterIndex, 2);

    const QByteArray saved = readFile(path);
    const QByteArray expectedTail = QByteArray("\r\n\r\n") + f.logText().toUtf8() + "\r\n";
    QVERIFY(saved.endsWith(expectedTail));
    const QString dateLine = QString::fromUtf8(saved.left(saved.size() - expectedTail.size()));
    // C locale: its short date ("6 Dec 2026"), an ideographic space, the time of day.
    static const QRegularExpression dateShape(
        QStringLiteral("^檔案儲存日期：\\d{1,2} [A-Z][a-z]{2} \\d{4}　\\d\\d:\\d\\d:\\d\\d$"));
    QVERIFY2(dateShape.match(dateLine).hasMatch(), qPrintable(dateLine));

    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages[0].text, QStringLiteral("    Save Success.   "));
    QCOMPARE(f.dialogs.messages[0].title, QStringLiteral("Log save"));
    QCOMPARE(f.dialogs.messages[0].flags, int(MbInformation));
}

void TestLogPanel::saveLogReplacesExistingFile()
{
    WindowFixture f;
    const QString path = f.folder.filePath(QStringLiteral("old.txt"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    f.window->log().addEntry(QStringLiteral("new"), 1);
    f.dialogs.files.push_back(path);
    QTest::mouseClick(f.ui().savelog, Qt::LeftButton);
    const QByteArray saved = readFile(path);
    QVERIFY(!saved.contains('x'));
    QVERIFY(saved.endsWith("   new\r\n\r\n"));
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files).size(), 1); // no temporary left behind
}

void TestLogPanel::saveLogEmptyLog()
{
    WindowFixture f;
    const QString path = f.folder.filePath(QStringLiteral("empty.txt"));
    f.dialogs.files.push_back(path);
    QTest::mouseClick(f.ui().savelog, Qt::LeftButton);
    const QByteArray saved = readFile(path);
    QVERIFY(saved.startsWith(QStringLiteral("檔案儲存日期：").toUtf8()));
    QVERIFY(saved.endsWith("\r\n\r\n\r\n"));
    QCOMPARE(saved.count("\r\n"), 3);
}

void TestLogPanel::saveLogCancelled()
{
    WindowFixture f;
    f.dialogs.clear();
    f.dialogs.files.push_back(std::nullopt);
    QTest::mouseClick(f.ui().savelog, Qt::LeftButton);
    QCOMPARE(f.dialogs.fileRequests.size(), 1);
    QVERIFY(f.dialogs.messages.isEmpty());
    QCOMPARE(QDir(f.folder.path()).entryList(QDir::Files).size(), 0);
}

void TestLogPanel::saveLogFailureIsReported()
{
    WindowFixture f;
    // A path below a regular file cannot be created, even by root.
    const QString blocker = f.folder.filePath(QStringLiteral("blocker"));
    {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    const QString path = blocker + QStringLiteral("/log.txt");
    f.dialogs.clear();
    f.dialogs.files.push_back(path);
    QTest::mouseClick(f.ui().savelog, Qt::LeftButton);
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages[0].flags, int(MbCritical));
    QVERIFY(f.dialogs.messages[0].text.contains(path));
    QVERIFY(!f.dialogs.messages[0].text.contains(QStringLiteral("Success")));
    QCOMPARE(readFile(blocker), QByteArray("keep me"));
}

namespace {
// Entries numbered 0..count-1, each with one or two line breaks and some
// with characters outside ASCII; what the log should read, newest first,
// without time stamps.
QStringList fillLog(LogPanel &log, int count)
{
    QStringList expected;
    for (int i = 0; i < count; ++i) {
        const QString text =
            i % 3 ? QStringLiteral("entry %1").arg(i) : QStringLiteral("接收 < %1 𝄞").arg(i);
        log.addEntry(text, i % 2 + 1);
        QStringList lines{text};
        if (i % 2)
            lines << QString();
        expected = lines + expected;
    }
    return expected;
}

QTextDocument *box(WindowFixture &f)
{
    return f.ui().getMsg->document();
}
} // namespace

void TestLogPanel::longLogKeepsEveryLine()
{
    WindowFixture f(true);
    LogPanel &log = f.window->log();
    const int count = 20000;
    const QStringList expected = fillLog(log, count);
    f.window->log().appendLineBreak();
    // The box holds only the newest part: its bookkeeping does not grow with the log.
    QVERIFY2(box(f)->blockCount() < 5000, qPrintable(QString::number(box(f)->blockCount())));

    const QString text = f.logText();
    QCOMPARE(logLines(text), expected + QStringList(2, QString()));
    QVERIFY(text.endsWith(QStringLiteral("   接收 < 0 𝄞\r\n\r\n")));
    QCOMPARE(text.count(u'\n'), text.count(QStringLiteral("\r\n")));

    const QString path = f.folder.filePath(QStringLiteral("long.txt"));
    f.dialogs.files.push_back(path);
    QTest::mouseClick(f.ui().savelog, Qt::LeftButton);
    const QByteArray saved = readFile(path);
    const qsizetype logStart = saved.indexOf("\r\n\r\n") + 4;
    QCOMPARE(saved.sliced(logStart), (text + QStringLiteral("\r\n")).toUtf8());

    QTest::mouseClick(f.ui().Command1, Qt::LeftButton);
    QCOMPARE(f.logText(), QString());
    log.addEntry(QStringLiteral("after"), 1);
    QCOMPARE(logLines(f.logText()), (QStringList{QStringLiteral("after"), QString()}));
}

void TestLogPanel::scrollingToTheEndShowsOlderLines()
{
    WindowFixture f(true);
    const int count = 12000;
    const QStringList expected = fillLog(f.window->log(), count);
    const int linesInBox = box(f)->blockCount();
    QScrollBar *bar = f.ui().getMsg->verticalScrollBar();
    // Each time the user reaches the end, an older part follows, until the
    // box holds the whole log: every line, newest first, ending in the oldest.
    for (int scrolls = 0; box(f)->blockCount() < 2 * count - count / 2; ++scrolls) {
        QVERIFY(scrolls < 20);
        QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > 0, 5000);
        bar->setValue(bar->maximum());
    }
    QVERIFY(box(f)->blockCount() > linesInBox);
    QCOMPARE(logLines(f.logText()), expected + QStringList{QString()});
    QVERIFY(box(f)->lastBlock().previous().text().endsWith(QStringLiteral("   接收 < 0 𝄞")));
}

void TestLogPanel::linesInViewOrSelectedStayInTheBox()
{
    WindowFixture f(true);
    LogPanel &log = f.window->log();
    fillLog(log, 2000);
    // The user selects the oldest line at the bottom of the box...
    LogBox *getMsg = f.ui().getMsg;
    QTextCursor oldest(box(f));
    oldest.movePosition(QTextCursor::End);
    oldest.movePosition(QTextCursor::PreviousBlock);
    oldest.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    getMsg->setTextCursor(oldest);
    const QString selected = getMsg->textCursor().selectedText();
    QVERIFY(selected.endsWith(QStringLiteral("   接收 < 0 𝄞")));
    // ...and keeps it while entries keep coming.
    const QStringList more = fillLog(log, 6000);
    QCOMPARE(getMsg->textCursor().selectedText(), selected);
    QVERIFY(box(f)->blockCount() >= 3000 + 9000); // every line up to the selection is still there
    // Once the selection is gone, the next entries store the old lines away.
    getMsg->moveCursor(QTextCursor::Start);
    getMsg->verticalScrollBar()->setValue(0);
    fillLog(log, 1500);
    QVERIFY(box(f)->blockCount() < 5000);
}

QTEST_MAIN(TestLogPanel)
#include "tst_log_panel.moc"
