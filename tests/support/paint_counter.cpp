#include "support/paint_counter.h"

#include <QAbstractButton>
#include <QEvent>

namespace tallowick::test {

PaintCounter::PaintCounter(QWidget *widget) : m_widget(widget)
{
    widget->installEventFilter(this);
}

PaintCounter::~PaintCounter()
{
    if (m_widget)
        m_widget->removeEventFilter(this);
}

bool PaintCounter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widget && event->type() == QEvent::Paint) {
        ++paints;
        if (auto *button = qobject_cast<QAbstractButton *>(m_widget.data()))
            text = button->text();
        enabled = m_widget->isEnabled();
    }
    return false;
}

} // namespace tallowick::test
