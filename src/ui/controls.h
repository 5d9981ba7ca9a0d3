#pragma once

#include "engine/exchange_inputs.h"

#include <array>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tallowick {

class ClickableLabel;
class LogBox;

// Every control of the main window under the name the handlers use; each
// widget's objectName is the same name (array elements as name_index).
struct Controls
{
    // Link settings: two frames in one place, Mode beside them.
    QGroupBox *ipSet = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *address = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *port = nullptr;
    QGroupBox *comset = nullptr;
    QLabel *Label8 = nullptr;
    QLineEdit *comSelect = nullptr;
    QLabel *baudrate = nullptr;
    QLineEdit *configCOM = nullptr;
    QPushButton *modeSelect = nullptr;

    // Connection settings.
    QGroupBox *Frame2 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *timeout = nullptr;
    std::array<QRadioButton *, 2> connect{};

    // Repeated sending.
    QGroupBox *Frame3 = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *repeat = nullptr;
    QLabel *Label5 = nullptr;
    QLineEdit *rpStart = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *rpStop = nullptr;
    QLineEdit *rCNT = nullptr;
    QPushButton *Command2 = nullptr;

    // Command lines.
    QGroupBox *Frame4 = nullptr;
    QLabel *filename = nullptr;
    QLineEdit *filetitle = nullptr;
    QComboBox *filecombo = nullptr;
    QPushButton *save = nullptr;
    QFrame *Line1 = nullptr;
    std::array<ClickableLabel *, commandLineCount> Label7{};
    std::array<QLineEdit *, commandLineCount> cmd{};
    std::array<QLineEdit *, commandLineCount> noteText{};

    // Bottom row.
    QLineEdit *sendCnt = nullptr;
    QCheckBox *crcEN = nullptr;
    QPushButton *send = nullptr;
    QPushButton *crcCalc = nullptr;
    QPushButton *savelog = nullptr;
    QPushButton *Command1 = nullptr;
    QLabel *status = nullptr;

    // Right column.
    QLabel *winsockstatus = nullptr;
    QLabel *ver = nullptr;
    LogBox *getMsg = nullptr;

    // Frames over the log.
    QGroupBox *Frame6 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command4 = nullptr;
    QGroupBox *Frame5 = nullptr;
    std::array<QPushButton *, 6> killCmd{};

    // Timers.
    QTimer *Timer = nullptr;      // reply time-out
    QTimer *repTimer = nullptr;   // repeated sending
    QTimer *winsockchk = nullptr; // socket state label
};

} // namespace tallowick
