#pragma once

// Placeholder of the replay book until its reader lands.
#include "device/map_file.h"

#include <QByteArray>
#include <QByteArrayView>
#include <chrono>
#include <optional>
#include <variant>

namespace tallowick {

struct ReplayedReply
{
    QByteArray reply;
    std::chrono::microseconds after{0};
};

class ReplayBook
{
public:
    std::optional<ReplayedReply> replyTo(QByteArrayView rtuRequest);
    std::optional<ReplayedReply> replyToPdu(quint8 unit, QByteArrayView pdu);
    qsizetype requests() const { return 0; }
};

std::variant<ReplayBook, MapError> readReplay(const QString &path);

} // namespace tallowick
