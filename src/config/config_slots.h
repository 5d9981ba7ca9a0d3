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

    void filecombo_LostFocus();
    void save_Click();
    void killCmd_Click(int index);
    void Command3_Click(); // import
    void Command4_Click(); // export

private:
    Context &m_ctx;
};

} // namespace tallowick
