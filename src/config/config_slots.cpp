#include "config/config_slots.h"

#include "config/config_io.h"
#include "ui/context.h"
#include "ui/dialogs.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace tallowick {

namespace {

constexpr int slotCount = 5;
const QString fileFilter = QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt");

QString slotFileName(int slot)
{
    return QStringLiteral("config%1.ini").arg(slot + 1);
}

} // namespace

ConfigSlots::ConfigSlots(Context &context, QObject *parent) : QObject(parent), m_ctx(context)
{
    Controls &ui = m_ctx.ui;
    // Text typed into the box chooses no slot, and must not become an item of
    // the list either.
    ui.filecombo->setInsertPolicy(QComboBox::NoInsert);
    ui.filecombo->installEventFilter(this);
    if (QLineEdit *edit = ui.filecombo->lineEdit()) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textEdited, this, [this] { m_slotChosen = false; });
    }
    connect(ui.filecombo, &QComboBox::activated, this, [this] { m_slotChosen = true; });

    connect(ui.save, &QPushButton::clicked, this, &ConfigSlots::save_Click);
    for (int i = 0; i < int(ui.killCmd.size()); ++i)
        connect(ui.killCmd[i], &QPushButton::clicked, this, [this, i] { killCmd_Click(i); });
    connect(ui.Command3, &QPushButton::clicked, this, &ConfigSlots::Command3_Click);
    connect(ui.Command4, &QPushButton::clicked, this, &ConfigSlots::Command4_Click);
}

void ConfigSlots::loadAtStartUp()
{
    loadConfig(m_ctx, slotFilePath(m_ctx), m_ctx.state.configFileName, false);
}

bool ConfigSlots::eventFilter(QObject *watched, QEvent *event)
{
    const QComboBox *combo = m_ctx.ui.filecombo;
    if (event->type() == QEvent::FocusOut && (watched == combo || watched == combo->lineEdit())) {
        // Opening the list, another window coming to the front, or the window
        // going away is no move to another control.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            m_ctx.window->isActiveWindow())
            filecombo_LostFocus();
    }
    return QObject::eventFilter(watched, event);
}

int ConfigSlots::selectedSlot() const
{
    const QComboBox *combo = m_ctx.ui.filecombo;
    const int index = combo->currentIndex();
    if (index < 0 || combo->currentText() != combo->itemText(index))
        return -1;
    return index;
}

void ConfigSlots::filecombo_LostFocus()
{
    // Only a choice from the list loads a slot: clicking into the box and out
    // again keeps the edits made in the text boxes.
    if (!m_slotChosen)
        return;
    m_slotChosen = false;
    const int slot = selectedSlot();
    if (slot >= 0 && slot < slotCount) {
        m_ctx.ui.filename->setText(QStringLiteral("config%1：").arg(slot + 1));
        m_ctx.state.configFileName = slotFileName(slot);
    }
    loadConfig(m_ctx, slotFilePath(m_ctx), m_ctx.state.configFileName, true);
}

void ConfigSlots::save_Click()
{
    filecombo_LostFocus();
    const int slot = selectedSlot();
    if (slot >= 0 && slot < slotCount)
        m_ctx.state.configFileName = slotFileName(slot);
    saveConfig(m_ctx);
}

void ConfigSlots::killCmd_Click(int index)
{
    filecombo_LostFocus();
    QString &name = m_ctx.state.configFileName;
    if (index >= 0 && index < slotCount) {
        name = slotFileName(index);
        if (!deleteFile(slotFilePath(m_ctx)))
            dialogs::message(m_ctx.window, QStringLiteral("no found file ") + name, MbOkOnly);
        return;
    }
    const MessageAnswer answer =
        dialogs::message(m_ctx.window, QStringLiteral("Sure?Kill all files?"),
                         MbYesNo | MbExclamation, QStringLiteral("Kill files"));
    if (answer == MessageAnswer::Yes && !deleteIniFiles(m_ctx.programFolder)) {
        dialogs::message(m_ctx.window, QStringLiteral("no found file ") + name, MbOkOnly);
        return;
    }
    name = QStringLiteral("*.ini");
}

void ConfigSlots::Command3_Click()
{
    filecombo_LostFocus();
    const auto path = dialogs::fileName(m_ctx.window, {FileDialogMode::Open, fileFilter, 2});
    if (!path || path->isEmpty())
        return;
    m_ctx.state.configFileName = QStringLiteral("config1.ini");
    loadConfig(m_ctx, *path, m_ctx.state.configFileName, false);
}

void ConfigSlots::Command4_Click()
{
    filecombo_LostFocus();
    const auto path = dialogs::fileName(m_ctx.window, {FileDialogMode::Save, fileFilter, 2});
    if (!path || path->isEmpty())
        return;
    if (const QString reason = exportConfig(m_ctx, *path); !reason.isEmpty()) {
        dialogs::message(m_ctx.window,
                         QStringLiteral("Export config file failed: %1\n%2").arg(*path, reason),
                         MbCritical, QStringLiteral("Failed Msg"));
        return;
    }
    dialogs::message(m_ctx.window, QStringLiteral("    Save Success.   "), MbInformation,
                     QStringLiteral("Log save"));
}

} // namespace tallowick
