#pragma once

#include "ui/controls.h"

class QWidget;

namespace tallowick {

// Creates every control of the main window on `window` with its design-time
// caption, default text, font and place.
void buildMainWindowControls(QWidget *window, Controls &ui);

} // namespace tallowick
