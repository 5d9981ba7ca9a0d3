#pragma once

#include "config/config_format.h"

#include <QObject>
#include <QString>
#include <array>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tallowick {

// The controls the configuration handlers work on.
struct ConfigControls
{
    QWidget *window = nullptr;
    QString programFolder;                             // where the slot files live
    std::array<QLineEdit *, configValueCount> boxes{}; // the 39 values, in key order
    QComboBox *filecombo = nullptr;
    QLabel *filename = nullptr;
    QLabel *status = nullptr;
    QPushButton *save = nullptr;
    std::array<QPushButton *, 6> killCmd{};
    QPushButton *importButton = nullptr; // Command3
    QPushButton *exportButton = nullptr; // Command4
};

// The configuration handlers of the main window: loading slot 1 at start-up,
// choosing, saving and deleting slots, import and export.
class ConfigSlots : public QObject
{
    Q_OBJECT
public:
    explicit ConfigSlots(const ConfigControls &controls, QObject *parent = nullptr);

    // Start-up's load of "config1.ini", before the window is shown.
    void loadAtStartUp();
    // The slot file name the next save or delete uses ("*.ini" after Kill All).
    QString fileName() const { return m_fileName; }

    // Loads the slot chosen from the list since the last load, if any. The
    // other handlers run it first too, so a choice is loaded before anything
    // else happens to the configuration even if the focus has not moved.
    void filecombo_LostFocus();
    void save_Click();
    void killCmd_Click(int index);
    void Command3_Click(); // import
    void Command4_Click(); // export

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The slot item selected in filecombo, or -1 while none is (nothing chosen
    // yet, or the text was typed over).
    int selectedSlot() const;
    QString slotPath() const;
    QStringList currentValues() const;
    // Fills the boxes from the file and reports the outcome in the status, or,
    // when the file is missing or unreadable, in a message box and the status,
    // emptying the boxes only when asked to.
    void load(const QString &path, bool clearWhenMissing);
    void saveSlot();

    ConfigControls m_ui;
    QString m_fileName = QStringLiteral("config1.ini");
    bool m_slotChosen = false; // an item was chosen from the list since the last load
};

} // namespace tallowick
