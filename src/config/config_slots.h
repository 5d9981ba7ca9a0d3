#pragma once

#include <QObject>

namespace tallowick {

struct Context;

// The configuration handlers of the main window: loading slot 1 at start-up,
// choosing, saving and deleting slots, import and export.
class ConfigSlots : public QObject
{
    Q_OBJECT
public:
    explicit ConfigSlots(Context &context, QObject *parent = nullptr);

    // Start-up's load of "config1.ini", before the window is shown.
    void loadAtStartUp();

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

    Context &m_ctx;
    bool m_slotChosen = false; // an item was chosen from the list since the last load
};

} // namespace tallowick
