#include "links/link.h"

#include <array>

namespace tallowick {

QString Link::stateName(int state)
{
    static const std::array<const char *, 10> names = {
        "sckClosed",        "sckOpen",         "sckListening",  "sckConnectionPending",
        "sckResolvingHost", "sckHostResolved", "sckConnecting", "sckConnected",
        "sckClosing",       "sckError"};
    if (state < 0 || state >= int(names.size()))
        return QString();
    return QString::fromLatin1(names[state]);
}

} // namespace tallowick

#include "moc_link.cpp"
