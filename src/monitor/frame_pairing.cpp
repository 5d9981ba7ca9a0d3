#include "monitor/frame_pairing.h"

namespace tallowick {

namespace {

enum class Layout { RequestOnly, ReplyOnly, Either, Neither };

// What the length and the function code of a frame allow it to be.
Layout layoutOf(QByteArrayView frame)
{
    if (frame.size() < 4)
        return Layout::Neither;
    const auto function = quint8(frame[1]);
    const qsizetype size = frame.size();
    if (function & 0x80)
        return size == 5 ? Layout::ReplyOnly : Layout::Neither;
    bool request = false;
    bool reply = false;
    switch (function) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
        request = size == 8;
        reply = size == 5 + qsizetype(quint8(frame[2]));
        break;
    case 0x05:
    case 0x06:
        request = reply = size == 8;
        break;
    case 0x0F:
    case 0x10:
        request = size >= 7 && size == 9 + qsizetype(quint8(frame[6]));
        reply = size == 8;
        break;
    default:
        break;
    }
    if (request && reply)
        return Layout::Either;
    if (request)
        return Layout::RequestOnly;
    return reply ? Layout::ReplyOnly : Layout::Neither;
}

} // namespace

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

void FramePairing::dropExpired(qint64 nowUs)
{
    if (m_waiting && nowUs - m_waiting->endUs > m_timeout.count()) {
        if (!m_waiting->tentative)
            ++m_counts.unanswered;
        m_waiting.reset();
    }
}

Judgement FramePairing::judge(quint64 number, QByteArrayView frame, qint64 firstByteUs,
                              qint64 endUs)
{
    Judgement judgement;
    dropExpired(firstByteUs);
    if (frame.size() < 2)
        return judgement;
    const auto address = quint8(frame[0]);
    const auto function = quint8(frame[1]);
    if (m_waiting && address == m_waiting->address && (function & 0x7F) == m_waiting->function) {
        judgement.role = FrameRole::Reply;
        judgement.replyTo = m_waiting->number;
        judgement.responseUs = firstByteUs - m_waiting->endUs;
        if (function & 0x80) {
            if (frame.size() >= 3)
                judgement.exception = quint8(frame[2]);
            ++m_counts.exceptions;
        }
        if (m_waiting->tentative)
            ++m_counts.requests;
        ++m_counts.replies;
        m_waiting.reset();
        m_paired = true;
        return judgement;
    }

    const Layout layout = layoutOf(frame);
    const bool canRequest =
        !(function & 0x80) && (layout == Layout::RequestOnly || layout == Layout::Either);
    if (m_waiting && canRequest) {
        // The master gave up on the one before and asks again.
        if (!m_waiting->tentative)
            ++m_counts.unanswered;
        m_waiting.reset();
    }
    if (canRequest && (m_paired || layout == Layout::RequestOnly || address == 0)) {
        judgement.role = FrameRole::Request;
        ++m_counts.requests;
        if (address != 0)
            m_waiting = Waiting{number, address, function, endUs, false};
        return judgement;
    }
    if (layout == Layout::ReplyOnly && !m_waiting) {
        // A reply whose request went by before the monitor started.
        judgement.role = FrameRole::Reply;
        if (function & 0x80) {
            if (frame.size() >= 3)
                judgement.exception = quint8(frame[2]);
            ++m_counts.exceptions;
        }
        ++m_counts.replies;
        return judgement;
    }
    if (canRequest && address != 0)
        m_waiting = Waiting{number, address, function, endUs, true};
    return judgement;
}

void FramePairing::finish(qint64 nowUs)
{
    dropExpired(nowUs);
}

} // namespace tallowick
