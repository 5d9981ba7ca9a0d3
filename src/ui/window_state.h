#pragma once

#include <QString>
#include <QtGlobal>

namespace tallowick {

// The flags and values that tie the handlers of the main window together.
struct WindowState
{
    bool replyDone = true;      // no exchange is outstanding
    bool serialMode = false;    // serial link (true) or TCP link (false)
    bool linkOpen = false;      // a Send asked for a TCP connection not yet closed by us
    bool linkError = false;     // the TCP link was found unusable; ends a repeat run
    bool repeating = false;     // a repeat run is active
    bool nextLineReady = false; // the transmit routine took the previous repeat Send
    double repeatIndex = 0;     // zero-based index of the next line of a repeat pass
    qint16 repeatLeft = 0;      // passes left, the running one included
    bool crcOnly = false;       // "CRC Calculate" is running the transmit routine
    QString configFileName = QStringLiteral("config1.ini");
};

} // namespace tallowick
