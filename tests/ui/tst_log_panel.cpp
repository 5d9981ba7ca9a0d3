// The log box: entries newest first, Clear, Save Log's bytes, and the window
// of the newest lines the box keeps while the rest of the log waits outside.
#include "support/files.h"
#include "support/window_fixture.h"
#include "ui/log_box.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace tallowick;
using namespace tallowick::test;

namespace {

// Entries 0..count-1 with one or two line breaks, some beyond ASCII; returns
// the log's lines newest first, without time stamps.
QStringList fillLog(LogPanel &log, int count)
{
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        const QString text =
            i % 3 ? QStringLiteral("entry %1").arg(i) : QStringLiteral("接收 < %1 𝄞").arg(i);
        log.addEntry(text, i % 2 + 1);
        lines.prepend(text);
        if (i % 2)
            lines.insert(1, QString());
    }
    return lines;
}

// The log in a saved file, after its date line: the short date of the C
// locale, an ideographic space and the time of day, then an empty line.
QString savedLog(const QByteArray &file)
{
    static const QRegularExpression dateLine(QStringLiteral(
        "^檔案儲存日期：\\d{1,2} [A-Z][a-z]{2} \\d{4}　\\d\\d:\\d\\d:\\d\\d\r\n\r\n"));
    const QString text = QString::fromUtf8(file);
    const auto match = dateLine.match(text);
    return match.hasMatch() ? text.sliced(match.capturedLength()) : QStringLiteral("<no date>");
}

} // namespace

class TestLogPanel : public QObject
{
    Q_OBJECT
private slots:
    void saveLog()
    {
        WindowFixture f;
        f.dialogs.clear();
        const QDir folder(f.folder.path());
        // Saves to a file of the folder (null cancels); the log saved, time stamps as "@".
        const auto save = [&](const QString &name) {
            f.dialogs.files.push_back(name.isNull() ? std::nullopt
                                                    : std::optional(folder.filePath(name)));
            QTest::mouseClick(f.ui().savelog, Qt::LeftButton);
            const FileDialogRequest &request = f.dialogs.fileRequests.last();
            const QByteArray file = readFile(folder.filePath(name));
            const QString log = file.isEmpty() ? QStringLiteral("<no file>") : savedLog(file);
            if (request.mode != FileDialogMode::Save || request.filterIndex != 2 ||
                request.filter != u"All Files (*.*)|*.*|Text Files(*.txt)|*.txt")
                return QStringLiteral("<dialog>");
            return file.isEmpty() || log == f.logText() + "\r\n"
                       ? QString(log).replace(timeStamp, QStringLiteral("@"))
                       : QStringLiteral("<not the log>");
        };
        QCOMPARE(save("empty.txt"), QStringLiteral("\r\n"));
        f.window->log().addEntry(QStringLiteral("傳送CMD1： > 030102030405 0E93"), 2);
        f.window->log().addEntry(QStringLiteral("接收 < 0103020005 7847"), 1);
        const QString saved = QStringLiteral(
            "@接收 < 0103020005 7847\r\n@傳送CMD1： > 030102030405 0E93\r\n\r\n\r\n");
        QCOMPARE(save("log.txt"), saved);
        QVERIFY(writeFile(folder.filePath(QStringLiteral("old.txt")), QByteArray(100000, 'x')));
        QCOMPARE(save("old.txt"), saved);                       // replaced without a question
        QCOMPARE(save(QString()), QStringLiteral("<no file>")); // cancelled: nothing shown
        // A save that fails says so: tst_atomic_save, on a full disk and in a missing folder.
        QCOMPARE(f.dialogs.shown(),
                 QStringList(3, QStringLiteral("    Save Success.   |64|Log save")));
        // No temporary file left behind.
        QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden),
                 (QStringList{"empty.txt", "log.txt", "old.txt"}));
    }

    // A long log: the box keeps only its newest lines, yet the log text, Save
    // Log and scrolling to the end give every line; Clear empties all of it.
    void longLog()
    {
        WindowFixture f(true);
        LogPanel &log = f.window->log();
        const QStringList lines = fillLog(log, 20000) + QStringList(2, QString());
        log.appendLineBreak();
        QTextDocument *box = f.ui().getMsg->document();
        QVERIFY2(box->blockCount() < 5000, qPrintable(QString::number(box->blockCount())));
        const QString text = f.logText();
        QCOMPARE(logLines(text), lines);
        QVERIFY(text.endsWith(QStringLiteral("   接收 < 0 𝄞\r\n\r\n")));
        QCOMPARE(text.count(u'\n'), text.count(QStringLiteral("\r\n")));
        f.dialogs.files.push_back(f.folder.filePath(QStringLiteral("long.txt")));
        QTest::mouseClick(f.ui().savelog, Qt::LeftButton);
        QCOMPARE(savedLog(readFile(f.folder.filePath(QStringLiteral("long.txt")))), text + "\r\n");
        // Each time the user reaches the end, an older part follows.
        QScrollBar *bar = f.ui().getMsg->verticalScrollBar();
        for (int scrolls = 0; box->blockCount() < lines.size(); ++scrolls) {
            QVERIFY(scrolls < 40);
            QTRY_VERIFY_WITH_TIMEOUT(bar->maximum() > 0, 5000);
            bar->setValue(bar->maximum());
        }
        QCOMPARE(f.logText(), text);
        QVERIFY(box->lastBlock().previous().previous().text().endsWith(u"   接收 < 0 𝄞"));
        QTest::mouseClick(f.ui().Command1, Qt::LeftButton);
        QCOMPARE(f.logText() + f.ui().status->text(), QStringLiteral("Log box clear"));
        log.addEntry(QStringLiteral("after"), 1);
        QCOMPARE(logLines(f.logText()), (QStringList{QStringLiteral("after"), QString()}));
    }

    // Lines the user has selected stay in the box while entries keep coming.
    void selectedLinesStay()
    {
        WindowFixture f(true);
        LogBox *getMsg = f.ui().getMsg;
        fillLog(f.window->log(), 2000);
        QTextCursor oldest(getMsg->document());
        oldest.movePosition(QTextCursor::End);
        oldest.movePosition(QTextCursor::PreviousBlock);
        oldest.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        getMsg->setTextCursor(oldest);
        QVERIFY(oldest.selectedText().endsWith(QStringLiteral("   接收 < 0 𝄞")));
        fillLog(f.window->log(), 6000);
        QCOMPARE(getMsg->textCursor().selectedText(), oldest.selectedText());
        QVERIFY(getMsg->document()->blockCount() >= 3000 + 9000);
        // Once it is gone, the next entries store the old lines away.
        getMsg->moveCursor(QTextCursor::Start);
        getMsg->verticalScrollBar()->setValue(0);
        fillLog(f.window->log(), 1500);
        QVERIFY(getMsg->document()->blockCount() < 5000);
    }
};

QTEST_MAIN(TestLogPanel)
#include "tst_log_panel.moc"
