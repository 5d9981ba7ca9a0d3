#include "replies/reply_timeout.h"

#include "ui/context.h"

namespace tallowick {

// Placeholder until the time-out lands.
ReplyTimeout::ReplyTimeout(Context &context, QObject *parent) : QObject(parent), m_ctx(context) {}

void ReplyTimeout::Timer_Timer() {}
void ReplyTimeout::winsockchk_Timer() {}
void ReplyTimeout::modeSelect_Click() {}

} // namespace tallowick
