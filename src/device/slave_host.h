#pragma once

// What a link of the device asks of the device: the answer to a request, the
// record once it is done, and the waits and the clock, which tests replace.

#include "device/device_core.h"
#include "platform/one_shot_timer.h"

#include <QString>
#include <optional>

namespace tallowick {

class SlaveHost
{
public:
    virtual ~SlaveHost() = default;

    virtual ServedRequest serve(LinkKind kind, QByteArrayView request) = 0;
    virtual ServedRequest refuse(LinkKind kind, Result result, QByteArrayView bytes) = 0;
    // The request is done: its reply sent, or none. `endUs` is when the
    // request ended, on the monotonic clock.
    virtual void done(const ServedRequest &served, const QString &link, const QString &peer,
                      qint64 endUs, std::optional<qint64> responseUs) = 0;

    virtual OneShotTimer *newTimer(QObject *parent) = 0;
    // Microseconds on the monotonic clock.
    virtual qint64 nowUs() const = 0;
};

} // namespace tallowick
