#pragma once

#include <QLabel>
#include <QPlainTextEdit>

namespace tallowick {

// The log's text box: a double-click first selects the word under the mouse,
// as in any text box, and then reports itself.
class LogBox : public QPlainTextEdit
{
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// A label that reports clicks and double-clicks, as the command line labels do.
class ClickableLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool m_endsDoubleClick = false;
};

} // namespace tallowick
