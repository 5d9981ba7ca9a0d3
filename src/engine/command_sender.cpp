#include "engine/command_sender.h"

#include "ui/context.h"

namespace tallowick {

// Placeholder until the send paths land.
CommandSender::CommandSender(Context &context, QObject *parent) : QObject(parent)
{
    Q_UNUSED(context);
}

SendOutcome CommandSender::send_Click()
{
    return SendOutcome::Refused;
}

void CommandSender::Label7_Click(int) {}
void CommandSender::Label7_DblClick(int) {}
void CommandSender::endExchange() {}

} // namespace tallowick
