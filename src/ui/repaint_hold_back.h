#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <vector>

class QAbstractButton;
class QLabel;
class QWidget;

namespace tallowick {

// Holds back the drawing of controls that change with every exchange, as the
// Send button's caption and the Mode button do. A fast device ends hundreds of
// exchanges a second, and drawing each change through the window's backing
// store cost more than the exchange itself.
//
// A change takes effect at once: text() and isEnabled() read the new state at
// once, and only the drawing waits. A control's first change after a quiet
// spell is drawn at once; while changes keep coming it is drawn again at most
// once per interval, and its last state at most one interval after the last
// change. The log holds back its drawing with one of these too.
class RepaintHoldBack : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultInterval{50};

    explicit RepaintHoldBack(QObject *parent = nullptr,
                             std::chrono::milliseconds interval = defaultInterval);
    ~RepaintHoldBack() override;

    // Each does nothing when the control is already so, which draws nothing
    // and holds nothing back.
    void setText(QAbstractButton *button, const QString &text);
    void setText(QLabel *label, const QString &text);
    void setEnabled(QWidget *widget, bool enabled);
    // For any other change, called before it: a change made while drawing is
    // held back marks nothing for drawing in the first place.
    void aboutToChange(QWidget *widget);

private:
    void intervalEnded();

    struct Control
    {
        QPointer<QWidget> widget;
        bool drawnThisInterval = false;
        bool held = false;
    };
    std::vector<Control> m_controls; // the few that changed lately
    QTimer m_interval;
};

} // namespace tallowick
