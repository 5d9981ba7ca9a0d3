#include "replies/log_panel.h"

#include "ui/log_box.h"
#include "ui/time_stamp.h"

#include <QStringEncoder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace tallowick {

namespace {
constexpr std::chrono::milliseconds redrawInterval{50};
}

LogPanel::LogPanel(LogBox *box, QObject *parent) : QObject(parent), m_box(box)
{
    // The log is never trimmed and would otherwise keep every insertion twice.
    m_box->setUndoRedoEnabled(false);
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(redrawInterval);
    connect(&m_redraw, &QTimer::timeout, this, &LogPanel::redrawHeldBack);
}

void LogPanel::addEntry(const QString &text, int lineBreaks)
{
    // The document keeps line breaks as paragraph ends; text() restores CR LF.
    QString entry = timeStamp() + QStringLiteral("   ") + text;
    entry.append(QString(lineBreaks, u'\n'));
    // A new cursor stands at the start. Inside an edit block the cursor does
    // not lay out the block it ends in to remember its x position; that layout
    // would cost more than the insertion and stay cached with every block of
    // a log that is never trimmed.
    QTextCursor cursor(m_box->document());
    cursor.beginEditBlock();
    cursor.insertText(entry);
    cursor.endEditBlock();
    holdBackRedraw();
}

void LogPanel::holdBackRedraw()
{
    // Every entry moves the whole visible log down a line, so each one redraws
    // all of it. The first entry after a quiet spell is drawn at once; while
    // entries keep coming, as from a fast device, the log is drawn again at
    // most once per redrawInterval instead of after every exchange.
    if (!m_redraw.isActive()) {
        m_redraw.start();
        return;
    }
    m_box->setUpdatesEnabled(false);
}

void LogPanel::redrawHeldBack()
{
    if (m_box->updatesEnabled())
        return;
    m_box->setUpdatesEnabled(true);
    m_redraw.start(); // entries may still be coming
}

void LogPanel::appendLineBreak()
{
    QTextCursor cursor(m_box->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n"));
}

QString LogPanel::text() const
{
    // The raw text keeps every character as inserted; only paragraph ends differ.
    // Copied in one pass: QString::replace() with a longer text moves the tail
    // of the string over and over, which made saving a long log take seconds.
    const QString raw = m_box->document()->toRawText();
    const QChar paragraphEnd(QChar::ParagraphSeparator);
    QString text(raw.size() + raw.count(paragraphEnd), Qt::Uninitialized);
    const QChar *in = raw.constData();
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

void LogPanel::clear()
{
    m_box->clear();
}

QByteArray LogPanel::savedFileContent(const QString &dateLine, const QString &logText)
{
    // Encoded piece by piece into one buffer, without first joining the pieces
    // into another copy of the whole log.
    const QString breaks = QStringLiteral("\r\n\r\n");
    const QStringView pieces[] = {dateLine, breaks, logText, QStringView(breaks).first(2)};
    qsizetype length = 0;
    for (const QStringView piece : pieces)
        length += piece.size();
    QStringEncoder utf8(QStringEncoder::Utf8);
    QByteArray content(utf8.requiredSpace(length), Qt::Uninitialized);
    char *end = content.data();
    for (const QStringView piece : pieces)
        end = utf8.appendToBuffer(end, piece);
    content.truncate(end - content.constData());
    return content;
}

} // namespace tallowick
