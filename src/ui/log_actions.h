#pragma once

#include <QObject>

class QAbstractButton;
class QLabel;
class QWidget;

namespace tallowick {

class LogPanel;

// The Clear and Save Log buttons of the log.
class LogActions : public QObject
{
    Q_OBJECT
public:
    LogActions(LogPanel *log, QLabel *status, QAbstractButton *clear, QAbstractButton *save,
               QWidget *window);

    void Command1_Click(); // Clear
    void savelog_Click();  // Save Log

private:
    LogPanel *m_log;
    QLabel *m_status;
    QWidget *m_window;
};

} // namespace tallowick
