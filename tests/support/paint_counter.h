#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace tallowick::test {

// Counts a widget's paint events while it lives, and notes what the widget
// showed at the last one.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget);
    ~PaintCounter() override;

    int paints = 0;
    QString text; // a button's caption
    bool enabled = true;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_widget;
};

} // namespace tallowick::test
