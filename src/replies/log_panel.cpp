#include "replies/log_panel.h"

#include "ui/log_box.h"
#include "ui/time_stamp.h"

#include <QTextCursor>
#include <QTextDocument>

namespace tallowick {

LogPanel::LogPanel(LogBox *box, QObject *parent) : QObject(parent), m_box(box)
{
    // The log is never trimmed and would otherwise keep every insertion twice.
    m_box->setUndoRedoEnabled(false);
}

void LogPanel::addEntry(const QString &text, int lineBreaks)
{
    // The document keeps line breaks as paragraph ends; text() restores CR LF.
    QString entry = timeStamp() + QStringLiteral("   ") + text;
    entry.append(QString(lineBreaks, u'\n'));
    QTextCursor cursor(m_box->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(entry);
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
    QString raw = m_box->document()->toRawText();
    raw.replace(QChar(QChar::ParagraphSeparator), QStringLiteral("\r\n"));
    return raw;
}

void LogPanel::clear()
{
    m_box->clear();
}

QByteArray LogPanel::savedFileContent(const QString &dateLine, const QString &logText)
{
    const QString content = dateLine + QStringLiteral("\r\n\r\n") + logText + QStringLiteral("\r\n");
    return content.toUtf8();
}

} // namespace tallowick
