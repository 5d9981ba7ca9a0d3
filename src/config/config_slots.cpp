#include "config/config_slots.h"

#include "ui/context.h"

namespace tallowick {

// Placeholder until the configuration handlers land.
ConfigSlots::ConfigSlots(Context &context, QObject *parent) : QObject(parent), m_ctx(context) {}

void ConfigSlots::loadAtStartUp() {}
void ConfigSlots::filecombo_LostFocus() {}
void ConfigSlots::save_Click() {}
void ConfigSlots::killCmd_Click(int) {}
void ConfigSlots::Command3_Click() {}
void ConfigSlots::Command4_Click() {}

} // namespace tallowick
