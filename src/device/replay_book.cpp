#include "device/replay_book.h"

namespace tallowick {

std::optional<ReplayedReply> ReplayBook::replyTo(QByteArrayView)
{
    return std::nullopt;
}

std::optional<ReplayedReply> ReplayBook::replyToPdu(quint8, QByteArrayView)
{
    return std::nullopt;
}

std::variant<ReplayBook, MapError> readReplay(const QString &path)
{
    return MapError{path + QStringLiteral(": cannot be replayed yet")};
}

} // namespace tallowick
