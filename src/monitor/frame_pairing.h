#pragma once

// Which frame on the line is a request and which a reply, judged as the
// master does it: after a request to address A with function F, the next
// frame from A with F or F + 0x80 within the time-out answers it.

#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <optional>

namespace tallowick {

enum class FrameRole { Request, Reply, Unknown };

// "request", "reply", "unknown".
QString roleName(FrameRole role);

struct Judgement
{
    FrameRole role = FrameRole::Unknown;
    // For a reply: the number of its request and the time from the end of the
    // request's last byte to the start of the reply's first.
    std::optional<quint64> replyTo;
    std::optional<qint64> responseUs;
    // For an exception reply (function code with its top bit set).
    std::optional<quint8> exception;
};

struct PairingCounts
{
    quint64 requests = 0;
    quint64 replies = 0;
    quint64 unanswered = 0;
    quint64 exceptions = 0;
};

class FramePairing
{
public:
    explicit FramePairing(std::chrono::microseconds timeout);

    // Frames in the order they ended, numbered from 1; times in microseconds
    // on one clock.
    Judgement judge(quint64 number, QByteArrayView frame, qint64 firstByteUs, qint64 endUs);
    // At the end: a request still waiting whose time-out has passed by nowUs
    // is unanswered.
    void finish(qint64 nowUs);

    const PairingCounts &counts() const { return m_counts; }

private:
    struct Waiting
    {
        quint64 number;
        quint8 address;
        quint8 function;
        qint64 endUs;
        // Judged "unknown" when it ended (a 05 or 06 before any pairing looks
        // the same as its echo); becomes a request once answered.
        bool tentative;
    };

    void dropExpired(qint64 nowUs);

    std::chrono::microseconds m_timeout;
    std::optional<Waiting> m_waiting;
    // Set by the first pairing: from then on the master's rhythm is known and
    // a frame that answers nothing is a request.
    bool m_paired = false;
    PairingCounts m_counts;
};

} // namespace tallowick
