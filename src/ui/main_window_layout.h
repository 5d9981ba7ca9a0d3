#pragma once

#include "ui/controls.h"

class QIcon;
class QWidget;

namespace tallowick {

// Creates every control of the main window on `window` with its design-time
// caption, default text, font and place, and gives the window its font, icon
// and tab order.
void buildMainWindowControls(QWidget *window, Controls &ui);

// The application icon, with images of 16, 32, 48, 64 and 128 pixels.
QIcon programIcon();

} // namespace tallowick
