#pragma once

#include "engine/user_message.h"

namespace tallowick::test {

// A message's buttons and icon as one number, the way the expected boxes of
// the tables are written: 0 OK, 4 Yes and No; 16 critical, 48 exclamation,
// 64 information.
inline int messageCode(const UserMessage &message)
{
    int code = message.buttons == MessageButtons::YesNo ? 4 : 0;
    switch (message.icon) {
    case MessageIcon::Critical:
        return code + 16;
    case MessageIcon::Exclamation:
        return code + 48;
    case MessageIcon::Information:
        return code + 64;
    case MessageIcon::None:
        break;
    }
    return code;
}

} // namespace tallowick::test
