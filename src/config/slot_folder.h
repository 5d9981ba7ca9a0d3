#pragma once

#include <QString>

namespace tallowick {

// Where the configuration slot files live, and whatever "Kill All Files"
// deletes with them.
enum class SlotPlace {
    // Beside the program: a build run from its tree, or installed into a prefix
    // its user can write.
    BesideProgram,
    // $XDG_CONFIG_HOME/tallowick (~/.config/tallowick): a system-wide install,
    // whose program folder is not the user's to write.
    ConfigHome,
};

// The place is the program's to choose, once, at start-up before any window
// or --help reads it: the packaged window program chooses ConfigHome (see
// src/CMakeLists.txt). A program that chooses nothing keeps its slots beside
// itself.
void setSlotPlace(SlotPlace place);

// The place the program chose.
SlotPlace builtInSlotPlace();

// The folder of that place. It may not exist yet: the first save creates it.
// Needs no application object, so that --help can name it.
QString slotFolder(SlotPlace place = builtInSlotPlace());

} // namespace tallowick
