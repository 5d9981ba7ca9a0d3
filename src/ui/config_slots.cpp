#include "ui/config_slots.h"

#include "config/config_io.h"
#include "config/slot_folder.h"
#include "ui/dialogs.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace tallowick {

namespace {

constexpr int slotCount = 5;
const QString failedTitle = QStringLiteral("Failed Msg");

QString slotFileName(int slot)
{
    return QStringLiteral("config%1.ini").arg(slot + 1);
}

} // namespace

ConfigSlots::ConfigSlots(const ConfigControls &controls, QObject *parent)
    : QObject(parent), m_ui(controls)
{
    ConfigControls &ui = m_ui;
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
    connect(ui.importButton, &QPushButton::clicked, this, &ConfigSlots::Command3_Click);
    connect(ui.exportButton, &QPushButton::clicked, this, &ConfigSlots::Command4_Click);
}

void ConfigSlots::loadAtStartUp()
{
    load(slotPath(), false);
}

QString ConfigSlots::slotPath() const
{
    return slotFilePath(m_ui.programFolder, m_fileName);
}

QStringList ConfigSlots::currentValues() const
{
    QStringList values;
    for (const QLineEdit *box : m_ui.boxes)
        values << box->text();
    return values;
}

void ConfigSlots::load(const QString &path, bool clearWhenMissing)
{
    const ConfigRead read = readConfigFile(path);
    const auto *values = std::get_if<QStringList>(&read);
    if (!values) {
        const QString text =
            QStringLiteral("Load Save File ") + m_fileName + QStringLiteral(" Failed.");
        dialogs::message(m_ui.window, {text, failedTitle, MessageIcon::Exclamation});
        m_ui.status->setText(text);
        if (clearWhenMissing) {
            for (QLineEdit *box : m_ui.boxes)
                box->clear();
        }
        return;
    }
    for (int i = 0; i < configValueCount; ++i)
        m_ui.boxes[i]->setText(values->at(i));
    m_ui.status->setText(QStringLiteral("Load Save File ") + m_fileName +
                         QStringLiteral(" Success."));
}

void ConfigSlots::saveSlot()
{
    // The folder in the user's configuration home is made by the first save;
    // beside the program it is there already, and a program folder that has
    // gone must fail the save, not come back empty. A folder that cannot be
    // made fails the save below.
    if (builtInSlotPlace() == SlotPlace::ConfigHome)
        QDir().mkpath(m_ui.programFolder);
    if (saveSlotFile(slotPath(), currentValues())) {
        const QString text = QStringLiteral("Save File ") + m_fileName + QStringLiteral(" Failed.");
        dialogs::message(m_ui.window, {text, failedTitle, MessageIcon::Exclamation});
        m_ui.status->setText(text);
        return;
    }
    m_ui.status->setText(QStringLiteral("Save File ") + m_fileName + QStringLiteral(" Success."));
}

bool ConfigSlots::eventFilter(QObject *watched, QEvent *event)
{
    const QComboBox *combo = m_ui.filecombo;
    if (event->type() == QEvent::FocusOut && (watched == combo || watched == combo->lineEdit())) {
        // Opening the list, another window coming to the front, or the window
        // going away is no move to another control.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            m_ui.window->isActiveWindow())
            filecombo_LostFocus();
    }
    return QObject::eventFilter(watched, event);
}

int ConfigSlots::selectedSlot() const
{
    const QComboBox *combo = m_ui.filecombo;
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
        m_ui.filename->setText(QStringLiteral("config%1：").arg(slot + 1));
        m_fileName = slotFileName(slot);
    }
    load(slotPath(), true);
}

void ConfigSlots::save_Click()
{
    filecombo_LostFocus();
    const int slot = selectedSlot();
    if (slot >= 0 && slot < slotCount)
        m_fileName = slotFileName(slot);
    saveSlot();
}

void ConfigSlots::killCmd_Click(int index)
{
    filecombo_LostFocus();
    QString &name = m_fileName;
    if (index >= 0 && index < slotCount) {
        name = slotFileName(index);
        if (deleteFile(slotPath()))
            dialogs::message(m_ui.window, {QStringLiteral("no found file ") + name});
        return;
    }
    const MessageAnswer answer = dialogs::message(
        m_ui.window, {QStringLiteral("Sure?Kill all files?"), QStringLiteral("Kill files"),
                      MessageIcon::Exclamation, MessageButtons::YesNo});
    if (answer == MessageAnswer::Yes && deleteIniFiles(m_ui.programFolder)) {
        dialogs::message(m_ui.window, {QStringLiteral("no found file ") + name});
        return;
    }
    name = QStringLiteral("*.ini");
}

void ConfigSlots::Command3_Click()
{
    filecombo_LostFocus();
    const auto path = dialogs::fileName(m_ui.window, {FileDialogMode::Open, textFileFilter, 2});
    if (!path || path->isEmpty())
        return;
    m_fileName = QStringLiteral("config1.ini");
    load(*path, false);
}

void ConfigSlots::Command4_Click()
{
    filecombo_LostFocus();
    const auto path = dialogs::fileName(m_ui.window, {FileDialogMode::Save, textFileFilter, 2});
    if (!path || path->isEmpty())
        return;
    if (const FileFailure failure = exportConfigFile(*path, currentValues())) {
        dialogs::message(
            m_ui.window,
            {QStringLiteral("Export config file failed: %1\n%2").arg(*path, failure->reason),
             QStringLiteral("Failed Msg"), MessageIcon::Critical});
        return;
    }
    dialogs::message(m_ui.window, {QStringLiteral("    Save Success.   "),
                                   QStringLiteral("Log save"), MessageIcon::Information});
}

} // namespace tallowick

#include "moc_config_slots.cpp"
