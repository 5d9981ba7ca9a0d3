#pragma once

// Which frame on the line is a request and which a reply, judged by their
// layouts: a frame answers a waiting request only if it fits it (the same
// unit, the function or its exception, the byte count the request asked for
// or the echo of a write); of several it fits, the latest. A frame that fits
// none and may be a request is one; a request left waiting is unanswered
// once its time-out has passed.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <deque>
#include <optional>
#include <vector>

namespace tallowick {

enum class FrameRole { Request, Reply, Unknown };

// "request", "reply", "unknown".
QString roleName(FrameRole role);

// A request whose time-out passed without a reply that fits it.
struct Unanswered
{
    quint64 number = 0;
    qint64 afterUs = 0; // from the end of its last byte: the time-out
};

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

    // Requests whose time-out has passed by nowUs, oldest first; call before
    // judging a frame that starts at nowUs, and whenever deadline() passes.
    std::vector<Unanswered> expire(qint64 nowUs);
    // When the next waiting request's time-out passes.
    std::optional<qint64> deadline() const;

    // Frames in the order they ended, numbered from 1; times in microseconds
    // on one clock. Requests whose time-out passed before firstByteUs must
    // have been expired.
    Judgement judge(quint64 number, QByteArrayView frame, qint64 firstByteUs, qint64 endUs);

    const PairingCounts &counts() const { return m_counts; }

    // Requests waiting at once, at most: the oldest beyond these is
    // unanswered at once, so a line of requests alone costs bounded memory.
    static constexpr std::size_t mostWaiting = 4096;

private:
    struct Waiting
    {
        quint64 number;
        QByteArray frame;
        qint64 endUs;
        // Judged "unknown" when it ended (a 06 before any pairing looks the
        // same as its echo); counted as a request once answered, and not
        // counted at all when unanswered.
        bool tentative;
    };

    void wait(Waiting waiting);
    void giveUp(const Waiting &waiting, std::vector<Unanswered> &out);

    std::chrono::microseconds m_timeout;
    // In the order they ended, so their time-outs pass in this order too.
    std::deque<Waiting> m_waiting;
    // Set by the first pairing: from then on the master's rhythm is known and
    // a frame that answers nothing is a request.
    bool m_paired = false;
    PairingCounts m_counts;
};

} // namespace tallowick
