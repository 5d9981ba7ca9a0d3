#include "ui/log_box.h"

#include <QMouseEvent>
#include <utility>

namespace tallowick {

void LogBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    QPlainTextEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    // The release that ends a double-click is not a click of its own.
    if (std::exchange(m_endsDoubleClick, false))
        return;
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void ClickableLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    QLabel::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        m_endsDoubleClick = true;
        emit doubleClicked();
    }
}

} // namespace tallowick

#include "moc_log_box.cpp"
