#pragma once

#include <QObject>

namespace tallowick {

struct Context;

// Reply reception on both links: takes the reply, checks its CRC, logs it and
// ends the exchange.
class ReplyReceiver : public QObject
{
    Q_OBJECT
public:
    explicit ReplyReceiver(Context &context, QObject *parent = nullptr);

private:
    Context &m_ctx;
};

} // namespace tallowick
