#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace tallowick {

class LogBox;

// The log: newest entry on top, each the time stamp, three spaces, the text and
// one or two CR LF. Entries are inserted at the start of the document, so an
// entry costs the same however long the log has grown. While entries come
// fast the log is redrawn a few times a second, not after each of them.
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

    // What Save Log writes: the date line, an empty line, the log, a final CR LF.
    static QByteArray savedFileContent(const QString &dateLine, const QString &logText);

private:
    void holdBackRedraw();
    void redrawHeldBack();

    LogBox *m_box;
    QTimer m_redraw; // runs while redrawing the log is held back
};

} // namespace tallowick
