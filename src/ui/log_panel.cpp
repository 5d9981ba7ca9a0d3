#include "ui/log_panel.h"

#include "log/log_entry.h"
#include "ui/log_box.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace tallowick {

namespace {

// What the box keeps of the log: far more than a screenful, little enough for
// its bookkeeping not to matter.
constexpr int keptLines = 2048;
constexpr int keptCharacters = 1 << 20;

// A text box keeps line breaks as paragraph ends; the log has CR LF.
// Copied in one pass: QString::replace() with a longer text moves the tail of
// the string over and over, which made saving a long log take seconds.
QString withCrLf(QStringView raw)
{
    const QChar paragraphEnd(QChar::ParagraphSeparator);
    QString text(raw.size() + raw.count(paragraphEnd), Qt::Uninitialized);
    const QChar *in = raw.data();
    const QChar *const end = in + raw.size();
    QChar *out = text.data();
    for (;;) {
        const QChar *const lineEnd = std::find(in, end, paragraphEnd);
        out = std::copy(in, lineEnd, out);
        if (lineEnd == end)
            break;
        *out++ = u'\r';
        *out++ = u'\n';
        in = lineEnd + 1;
    }
    return text;
}
} // namespace

LogPanel::LogPanel(LogBox *box, QObject *parent) : QObject(parent), m_box(box)
{
    // The log is never trimmed and would otherwise keep every insertion twice.
    m_box->setUndoRedoEnabled(false);
    connect(m_box->verticalScrollBar(), &QScrollBar::valueChanged, this, &LogPanel::scrolled);
    storeAgainLater();
}

void LogPanel::addEntry(const QString &text, int lineBreaks)
{
    // The box keeps line breaks as paragraph ends; text() restores CR LF.
    const QString entry = logEntryLine(text, lineBreaks);
    // A new cursor stands at the start. Inside an edit block the cursor does
    // not lay out the block it ends in to remember its x position; that layout
    // would cost more than the insertion and stay cached with every block.
    QTextDocument *document = m_box->document();
    m_redraw.aboutToChange(m_box);
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    cursor.insertText(entry);
    cursor.endEditBlock();
    if (document->blockCount() > m_storeAtLines || document->characterCount() > m_storeAtCharacters)
        storeOldestLines();
}

void LogPanel::storeOldestLines()
{
    QTextDocument *document = m_box->document();
    int kept = 0;
    qsizetype characters = 0;
    for (QTextBlock block = document->firstBlock();
         block.isValid() && kept < keptLines && characters < keptCharacters; block = block.next()) {
        characters += block.length();
        ++kept;
    }
    // Nothing the user is looking at or has selected leaves the box.
    const int lastShown =
        m_box->cursorForPosition(QPoint(0, m_box->viewport()->height() - 1)).blockNumber();
    const QTextCursor selection = m_box->textCursor();
    const int lastSelected =
        selection.hasSelection() ? document->findBlock(selection.selectionEnd()).blockNumber() : 0;
    kept = std::max({kept, lastShown + 1, lastSelected + 1});
    if (kept < document->blockCount()) {
        // From the paragraph end before the first line that goes.
        QTextCursor cursor(document);
        cursor.setPosition(document->findBlockByNumber(kept).position() - 1);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        QByteArray piece = withCrLf(cursor.selectedText()).toUtf8();
        piece.squeeze(); // the encoder reserves room for three bytes a character
        m_stored.push_back(std::move(piece));
        cursor.beginEditBlock();
        cursor.removeSelectedText();
        cursor.endEditBlock();
    }
    storeAgainLater();
}

void LogPanel::storeAgainLater()
{
    // Once the box holds twice what it keeps; and while the user keeps its
    // end in view, not before it has grown by as much again.
    const QTextDocument *document = m_box->document();
    m_storeAtLines = std::max(2 * keptLines, document->blockCount() + keptLines);
    m_storeAtCharacters =
        std::max<qsizetype>(2 * keptCharacters, document->characterCount() + keptCharacters);
}

void LogPanel::scrolled(int value)
{
    // At the end of the box, the next older piece of the log follows on.
    if (m_stored.empty() || value < m_box->verticalScrollBar()->maximum())
        return;
    QTextDocument *document = m_box->document();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    cursor.insertText(QString::fromUtf8(m_stored.back())); // CR LF becomes one paragraph end
    cursor.endEditBlock();
    m_stored.pop_back();
    storeAgainLater();
}

void LogPanel::appendLineBreak()
{
    if (!m_stored.empty()) {
        m_stored.front().append("\r\n");
        return;
    }
    QTextCursor cursor(m_box->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n"));
}

QString LogPanel::boxText() const
{
    // The raw text keeps every character as inserted; only paragraph ends differ.
    return withCrLf(m_box->document()->toRawText());
}

QString LogPanel::text() const
{
    QString text = boxText();
    for (auto piece = m_stored.rbegin(); piece != m_stored.rend(); ++piece)
        text += QString::fromUtf8(*piece);
    return text;
}

void LogPanel::clear()
{
    m_box->clear();
    m_stored.clear();
    storeAgainLater();
}

QList<QByteArray> LogPanel::savedFileContent(const QString &dateLine) const
{
    // The stored pieces are written as they are; only the box's text is encoded.
    QList<QByteArray> content;
    content.reserve(qsizetype(m_stored.size()) + 2);
    content << (dateLine + QStringLiteral("\r\n\r\n") + boxText()).toUtf8();
    content.append({m_stored.rbegin(), m_stored.rend()});
    content << QByteArrayLiteral("\r\n");
    return content;
}

} // namespace tallowick

#include "moc_log_panel.cpp"
