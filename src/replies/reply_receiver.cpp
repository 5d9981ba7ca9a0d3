#include "replies/reply_receiver.h"

#include "ui/context.h"

namespace tallowick {

// Placeholder until reply reception lands.
ReplyReceiver::ReplyReceiver(Context &context, QObject *parent) : QObject(parent), m_ctx(context) {}

} // namespace tallowick
