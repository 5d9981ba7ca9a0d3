#include "monitor/frame_pairing.h"

#include "frames/modbus_pdu.h"

namespace tallowick {

QString roleName(FrameRole role)
{
    switch (role) {
    case FrameRole::Request:
        return QStringLiteral("request");
    case FrameRole::Reply:
        return QStringLiteral("reply");
    case FrameRole::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

FramePairing::FramePairing(std::chrono::microseconds timeout) : m_timeout(timeout) {}

void FramePairing::giveUp(const Waiting &waiting, std::vector<Unanswered> &out)
{
    if (waiting.tentative)
        return;
    ++m_counts.unanswered;
    out.push_back({waiting.number, m_timeout.count()});
}

std::vector<Unanswered> FramePairing::expire(qint64 nowUs)
{
    std::vector<Unanswered> expired;
    while (!m_waiting.empty() && nowUs - m_waiting.front().endUs > m_timeout.count()) {
        giveUp(m_waiting.front(), expired);
        m_waiting.pop_front();
    }
    return expired;
}

std::optional<qint64> FramePairing::deadline() const
{
    if (m_waiting.empty())
        return std::nullopt;
    return m_waiting.front().endUs + m_timeout.count() + 1;
}

void FramePairing::wait(Waiting waiting)
{
    if (m_waiting.size() >= mostWaiting) {
        std::vector<Unanswered> dropped;
        giveUp(m_waiting.front(), dropped);
        m_waiting.pop_front();
    }
    m_waiting.push_back(std::move(waiting));
}

Judgement FramePairing::judge(quint64 number, QByteArrayView frame, qint64 firstByteUs,
                              qint64 endUs)
{
    Judgement judgement;
    const bool exception = frame.size() >= 2 && (quint8(frame[1]) & 0x80);
    for (auto it = m_waiting.rbegin(); it != m_waiting.rend(); ++it) {
        if (!replyFits(it->frame, frame))
            continue;
        judgement.role = FrameRole::Reply;
        judgement.replyTo = it->number;
        judgement.responseUs = firstByteUs - it->endUs;
        if (it->tentative)
            ++m_counts.requests;
        ++m_counts.replies;
        if (exception) {
            judgement.exception = quint8(frame[2]);
            ++m_counts.exceptions;
        }
        m_waiting.erase(std::next(it).base());
        m_paired = true;
        return judgement;
    }

    const bool request = hasLayoutLength(frame, PduRole::Request);
    const bool reply = hasLayoutLength(frame, PduRole::Reply);
    const bool broadcast = request && quint8(frame[0]) == 0;
    if (request && (m_paired || !reply || broadcast)) {
        judgement.role = FrameRole::Request;
        ++m_counts.requests;
        // A broadcast awaits no reply.
        if (!broadcast)
            wait({number, frame.toByteArray(), endUs, false});
        return judgement;
    }
    if (request) {
        // Either a request or the echo of one that went by before the watch.
        wait({number, frame.toByteArray(), endUs, true});
        return judgement;
    }
    if (reply) {
        // A reply whose request went by before the monitor started, or that
        // answers nothing waiting.
        judgement.role = FrameRole::Reply;
        ++m_counts.replies;
        if (exception) {
            judgement.exception = quint8(frame[2]);
            ++m_counts.exceptions;
        }
    }
    return judgement;
}

} // namespace tallowick
