#include "replies/repeater.h"

#include "ui/context.h"

namespace tallowick {

// Placeholder until repeated sending lands.
Repeater::Repeater(Context &context, QObject *parent) : QObject(parent), m_ctx(context) {}

void Repeater::Command2_Click() {}
void Repeater::repTimer_Timer() {}

} // namespace tallowick
