#pragma once

#include "config/config_format.h"
#include "ui/controls.h"

#include <array>

class QIcon;
class QLineEdit;
class QWidget;

namespace tallowick {

// Creates every control of the main window on `window` with its design-time
// caption, default text, font and place, and gives the window its font, icon
// and tab order.
void buildMainWindowControls(QWidget *window, Controls &ui);

// The text boxes of the window that hold the configuration values, by
// ConfigValue, found by their names.
std::array<QLineEdit *, configValueCount> configBoxes(const QWidget *window);

// The application icon, with images of 16, 32, 48, 64 and 128 pixels.
QIcon programIcon();

} // namespace tallowick
