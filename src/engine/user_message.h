#pragma once

#include <QString>

namespace tallowick {

enum class MessageIcon { None, Critical, Exclamation, Information };
enum class MessageButtons { Ok, YesNo };

// Something the user must read and acknowledge (or answer, with Yes and No).
// The window shows it as a message box, a program without a window on
// standard error.
struct UserMessage
{
    QString text;
    QString title{}; // the program's title when empty
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

inline const QString programTitle = QStringLiteral("Tallowick");

} // namespace tallowick
