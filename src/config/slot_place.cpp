// On its own in this file, so that a program can be linked with the other
// choice compiled in (the packaged window program and its test are, in a
// build for running from the tree): the linker takes the program's own copy
// and never pulls this one out of the library.
#include "config/slot_folder.h"

namespace tallowick {

SlotPlace builtInSlotPlace()
{
#ifdef TALLOWICK_SLOTS_IN_CONFIG_HOME
    return SlotPlace::ConfigHome;
#else
    return SlotPlace::BesideProgram;
#endif
}

} // namespace tallowick
