#pragma once

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>

namespace tallowick {

// How an exchange ended.
enum class ExchangeResult {
    Reply,         // a reply came whose CRC is right
    WrongCrc,      // a reply came whose last two bytes are not its CRC
    ReplyTooShort, // a reply too short to hold a CRC
    NoReply,       // the time-out, or Stop, ended the wait
    LinkFailed,    // the TCP link was found unusable when the wait ended
    BadHeader,     // a framing's header did not answer the request (Modbus TCP)
};

// One exchange as it happened, told once when it ends: whoever keeps records
// of exchanges builds them from this alone.
struct ExchangeReport
{
    using Moment = std::chrono::steady_clock::time_point;

    int line = 0;                    // 1 to 15; 0 when no line went out
    QByteArray request;              // as it went out; empty when nothing did
    std::optional<QByteArray> reply; // as it came in
    ExchangeResult result = ExchangeResult::NoReply;
    QString replyFault;         // why the framing judged the reply bad or short
    Moment begun;               // the wait began
    std::optional<Moment> sent; // the request's last byte left (a serial port
                                // drained, a socket written)
    // From `sent` to the reply's last byte arriving (on a serial line that
    // arrival, not the end of the quiet time after it).
    std::optional<std::chrono::microseconds> response;
    // The link failed under the exchange: the system's reason, naming the
    // port where it has one ("/dev/ttyUSB0: No such file or directory").
    QString linkFailure;
};

} // namespace tallowick
