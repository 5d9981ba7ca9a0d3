#pragma once

// The replies of one link (a line, a connection) in the order their requests
// came: each waits its plan's time from its request's end, is written, with
// the pause of a gap rule inside it, or drops the connection. A request
// without a reply is done at once, after those before it.

#include "device/slave_host.h"

#include <QObject>
#include <chrono>
#include <deque>
#include <functional>

namespace tallowick {

class ReplyQueue : public QObject
{
public:
    struct Link
    {
        QString name;
        QString peer;
        // Writes bytes on the link; the bytes' time on the wire, from the
        // moment they are written (zero on a socket).
        std::function<void(QByteArrayView)> write;
        std::function<std::chrono::nanoseconds(qsizetype)> wireTime;
        std::function<void()> close; // nothing on a line
        // The least time from a request's end to its reply (t3.5 on a line:
        // the request is not over before).
        std::chrono::microseconds least{0};
    };

    ReplyQueue(SlaveHost &host, Link link, QObject *parent = nullptr);

    void push(ServedRequest served, qint64 endUs);
    // The link ended: what waits is done, unsent.
    void drop();
    bool isEmpty() const { return m_pending.empty(); }

private:
    struct Pending
    {
        ServedRequest served;
        qint64 endUs = 0;
        qint64 dueUs = 0;
        qsizetype sent = 0;
        std::optional<qint64> firstByteUs;
    };
    void sendDue();

    SlaveHost &m_host;
    Link m_link;
    OneShotTimer *m_timer;
    std::deque<Pending> m_pending;
    bool m_closed = false;
};

} // namespace tallowick
