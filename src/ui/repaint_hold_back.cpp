#include "ui/repaint_hold_back.h"

#include <QAbstractButton>
#include <QLabel>

#include <algorithm>
#include <utility>

namespace tallowick {

RepaintHoldBack::RepaintHoldBack(QObject *parent, std::chrono::milliseconds interval)
    : QObject(parent)
{
    m_interval.setSingleShot(true);
    m_interval.setInterval(interval);
    connect(&m_interval, &QTimer::timeout, this, &RepaintHoldBack::intervalEnded);
}

RepaintHoldBack::~RepaintHoldBack()
{
    for (const Control &control : m_controls)
        if (control.held && control.widget)
            control.widget->setUpdatesEnabled(true);
}

void RepaintHoldBack::setText(QAbstractButton *button, const QString &text)
{
    if (button->text() == text)
        return;
    aboutToChange(button);
    button->setText(text);
}

void RepaintHoldBack::setText(QLabel *label, const QString &text)
{
    if (label->text() == text)
        return;
    aboutToChange(label);
    label->setText(text);
}

void RepaintHoldBack::setEnabled(QWidget *widget, bool enabled)
{
    // Whether the widget itself is disabled, whatever its parents are.
    if (widget->isEnabledTo(widget->parentWidget()) == enabled)
        return;
    aboutToChange(widget);
    widget->setEnabled(enabled);
}

void RepaintHoldBack::aboutToChange(QWidget *widget)
{
    auto control = std::find_if(m_controls.begin(), m_controls.end(),
                                [widget](const Control &c) { return c.widget == widget; });
    if (control == m_controls.end())
        control = m_controls.insert(m_controls.end(), Control{widget});
    if (!m_interval.isActive())
        m_interval.start();
    if (!control->drawnThisInterval) {
        control->drawnThisInterval = true;
        return;
    }
    // A widget whose drawing someone else turned off is left to them.
    if (control->held || !widget->updatesEnabled())
        return;
    widget->setUpdatesEnabled(false);
    control->held = true;
}

void RepaintHoldBack::intervalEnded()
{
    bool drawing = false;
    for (Control &control : m_controls) {
        // Drawing the held state now counts as this control's drawing in the
        // next interval: changes still coming wait for the end of that one.
        control.drawnThisInterval = control.held;
        drawing = drawing || control.held;
        if (std::exchange(control.held, false) && control.widget)
            control.widget->setUpdatesEnabled(true); // draws the widget as it is now
    }
    if (drawing)
        m_interval.start();
    else
        m_controls.clear(); // a quiet interval: every next change is drawn at once
}

} // namespace tallowick

#include "moc_repaint_hold_back.cpp"
