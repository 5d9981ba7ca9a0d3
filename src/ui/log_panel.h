#pragma once

#include "ui/repaint_hold_back.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <vector>

namespace tallowick {

class LogBox;

// The log: newest entry on top, each the time stamp, three spaces, the text and
// one or two CR LF. Entries are inserted at the start of the text box, so an
// entry costs the same however long the log has grown.
//
// A text box spends several hundred bytes of bookkeeping on every line, more
// than the line itself. So the box holds the newest few thousand lines, and
// the older part of the log is kept here as the UTF-8 bytes Save Log writes,
// to be put back into the box, piece by piece, when the user scrolls to its
// end. The log text is the box's text followed by that older part.
class LogPanel : public QObject
{
    Q_OBJECT
public:
    explicit LogPanel(LogBox *box, QObject *parent = nullptr);

    void addEntry(const QString &text, int lineBreaks);
    // An extra CR LF after the end of the log text.
    void appendLineBreak();
    // The whole log as one text with CR LF line breaks.
    QString text() const;
    void clear();

    // What Save Log writes, in pieces to be written one after the other: the
    // date line, an empty line, the log, a final CR LF, all in UTF-8.
    QList<QByteArray> savedFileContent(const QString &dateLine) const;

private:
    void storeOldestLines();
    void storeAgainLater();
    void scrolled(int value);
    QString boxText() const;

    LogBox *m_box;
    // Every entry moves the whole visible log down a line, so each one redraws
    // all of it; while entries keep coming, as from a fast device, the log is
    // drawn a few times a second instead of after every exchange.
    RepaintHoldBack m_redraw;
    // The part of the log no longer in the box, its newest piece last; each
    // piece in UTF-8 with CR LF, and each beginning with the CR LF that ended
    // the line before it.
    std::vector<QByteArray> m_stored;
    // The box's size at which its oldest lines are stored.
    int m_storeAtLines = 0;
    qsizetype m_storeAtCharacters = 0;
};

} // namespace tallowick
