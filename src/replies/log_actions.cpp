#include "replies/log_actions.h"

#include "replies/log_panel.h"
#include "ui/context.h"
#include "ui/dialogs.h"
#include "ui/time_stamp.h"

#include <QLabel>
#include <QPushButton>
#include <QSaveFile>

#include <algorithm>

namespace tallowick {

namespace {
const QString fileFilter = QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt");
}

LogActions::LogActions(Context &context, QObject *parent) : QObject(parent), m_ctx(context)
{
    connect(m_ctx.ui.Command1, &QPushButton::clicked, this, &LogActions::Command1_Click);
    connect(m_ctx.ui.savelog, &QPushButton::clicked, this, &LogActions::savelog_Click);
}

void LogActions::Command1_Click()
{
    m_ctx.log->clear();
    m_ctx.ui.status->setText(QStringLiteral("Log box clear"));
}

void LogActions::savelog_Click()
{
    const auto path = dialogs::fileName(m_ctx.window, {FileDialogMode::Save, fileFilter, 2});
    if (!path || path->isEmpty())
        return;

    const QString dateLine =
        QStringLiteral("檔案儲存日期：") + dateStamp() + QStringLiteral("　") + timeStamp();
    const QList<QByteArray> content = m_ctx.log->savedFileContent(dateLine);

    // Written beside the target and renamed over it, so that a failure never
    // leaves half a log or destroys the file being replaced.
    QSaveFile file(*path);
    const auto written = [&file](const QByteArray &piece) {
        return file.write(piece) == piece.size();
    };
    QString reason;
    if (!file.open(QIODevice::WriteOnly) || !std::all_of(content.begin(), content.end(), written) ||
        !file.commit())
        reason = file.errorString();
    if (!reason.isEmpty()) {
        file.cancelWriting();
        dialogs::message(m_ctx.window, QStringLiteral("Save Log failed: %1\n%2").arg(*path, reason),
                         MbCritical, QStringLiteral("Log save"));
        return;
    }
    dialogs::message(m_ctx.window, QStringLiteral("    Save Success.   "), MbInformation,
                     QStringLiteral("Log save"));
}

} // namespace tallowick
