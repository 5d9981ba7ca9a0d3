#include "ui/log_actions.h"

#include "log/time_stamp.h"
#include "platform/atomic_save.h"
#include "ui/dialogs.h"
#include "ui/log_panel.h"

#include <QAbstractButton>
#include <QLabel>
#include <QWidget>

namespace tallowick {

LogActions::LogActions(LogPanel *log, QLabel *status, QAbstractButton *clear, QAbstractButton *save,
                       QWidget *window)
    : QObject(window), m_log(log), m_status(status), m_window(window)
{
    connect(clear, &QAbstractButton::clicked, this, &LogActions::Command1_Click);
    connect(save, &QAbstractButton::clicked, this, &LogActions::savelog_Click);
}

void LogActions::Command1_Click()
{
    m_log->clear();
    m_status->setText(QStringLiteral("Log box clear"));
}

void LogActions::savelog_Click()
{
    const auto path = dialogs::fileName(m_window, {FileDialogMode::Save, textFileFilter, 2});
    if (!path || path->isEmpty())
        return;

    const QString dateLine =
        QStringLiteral("檔案儲存日期：") + dateStamp() + QStringLiteral("　") + timeStamp();
    const QList<QByteArray> content = m_log->savedFileContent(dateLine);

    // Written beside the target and renamed over it, so that a failure never
    // leaves half a log or destroys the file being replaced.
    if (const auto error = saveAtomically(*path, content)) {
        dialogs::message(m_window,
                         {QStringLiteral("Save Log failed: %1\n%2").arg(*path, error->reason),
                          QStringLiteral("Log save"), MessageIcon::Critical});
        return;
    }
    dialogs::message(m_window, {QStringLiteral("    Save Success.   "), QStringLiteral("Log save"),
                                MessageIcon::Information});
}

} // namespace tallowick

#include "moc_log_actions.cpp"
