#include "device/reply_queue.h"

namespace tallowick {

ReplyQueue::ReplyQueue(SlaveHost &host, Link link, QObject *parent)
    : QObject(parent), m_host(host), m_link(std::move(link)), m_timer(host.newTimer(this))
{
    connect(m_timer, &OneShotTimer::timeout, this, &ReplyQueue::sendDue);
}

void ReplyQueue::push(ServedRequest served, qint64 endUs)
{
    if (m_closed)
        return;
    const qint64 wait = std::max(served.plan.wait, m_link.least).count();
    const bool waits = served.plan.reply || served.plan.close;
    m_pending.push_back({std::move(served), endUs, waits ? endUs + wait : endUs, 0, {}});
    if (m_pending.size() == 1)
        sendDue();
}

void ReplyQueue::drop()
{
    m_timer->stop();
    m_closed = true;
    while (!m_pending.empty()) {
        const Pending pending = std::move(m_pending.front());
        m_pending.pop_front();
        m_host.done(pending.served, m_link.name, m_link.peer, pending.endUs,
                    pending.firstByteUs ? std::optional(*pending.firstByteUs - pending.endUs)
                                        : std::nullopt);
    }
}

void ReplyQueue::sendDue()
{
    while (!m_pending.empty() && !m_closed) {
        Pending &head = m_pending.front();
        const qint64 now = m_host.nowUs();
        if (now < head.dueUs) {
            m_timer->start(std::chrono::microseconds(head.dueUs - now));
            return;
        }
        const ReplyPlan &plan = head.served.plan;
        if (plan.close) {
            const Pending closing = std::move(head);
            m_pending.pop_front();
            m_host.done(closing.served, m_link.name, m_link.peer, closing.endUs, std::nullopt);
            // What came after it goes with the connection.
            drop();
            if (m_link.close)
                m_link.close();
            return;
        }
        if (plan.reply) {
            const QByteArray &reply = *plan.reply;
            if (!head.firstByteUs)
                head.firstByteUs = now;
            // A gap pauses the reply after its Kth byte, once those are out on the wire.
            const bool pauses = plan.gap.count() > 0 && head.sent == 0 && plan.gapAfter > 0 &&
                                plan.gapAfter < reply.size();
            const qsizetype part = pauses ? plan.gapAfter : reply.size() - head.sent;
            m_link.write(QByteArrayView(reply).sliced(head.sent, part));
            head.sent += part;
            if (pauses) {
                head.dueUs = now + std::chrono::duration_cast<std::chrono::microseconds>(
                                       m_link.wireTime(part) + plan.gap)
                                       .count();
                continue;
            }
        }
        const Pending finished = std::move(head);
        m_pending.pop_front();
        m_host.done(finished.served, m_link.name, m_link.peer, finished.endUs,
                    finished.firstByteUs ? std::optional(*finished.firstByteUs - finished.endUs)
                                         : std::nullopt);
    }
}

} // namespace tallowick
