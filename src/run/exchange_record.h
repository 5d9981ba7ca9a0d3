#pragma once

#include "run/exchange_stats.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <optional>

namespace tallowick {

// One exchange of a run as the records tell it.
struct ExchangeRecord
{
    quint64 n = 0; // counting from 1
    // The wall clock at the send, for a reader who lines the record up with
    // other logs; "2026-03-01T02:03:04.000005+01:00".
    QString time;
    int line = 0;                    // 1 to 15
    QByteArray request;              // as it went out; empty when nothing did
    std::optional<QByteArray> reply; // as it came in
    ExchangeOutcome outcome = ExchangeOutcome::Ok;
    std::optional<std::chrono::microseconds> response;
    QString linkFailure; // why the link failed under it, in the system's words
    QString replyFault;  // why the framing judged the reply bad or short
};

// Whoever keeps the records of a run: told of each exchange as it ends, and of
// the run's end with its tallies, also when a signal ends the run.
class RecordSink
{
public:
    virtual ~RecordSink() = default;
    virtual void record(const ExchangeRecord &record) = 0;
    virtual void finish(const ExchangeStats &stats) = 0;
};

} // namespace tallowick
