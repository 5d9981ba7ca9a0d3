#pragma once

// What the device says of each request: a line of text, a JSON object, and
// the summary of the run, counted per result, link, unit and rule.

#include "device/device_core.h"
#include "frames/response_times.h"

#include <QString>
#include <map>

namespace tallowick {

// A served request as its link saw it.
struct DeviceRecord
{
    const ServedRequest &served;
    QString link;  // "serial /dev/pts/3", "tcp 127.0.0.1:5020", "mbap 127.0.0.1:5502"
    QString peer;  // the TCP client; empty on a line
    qint64 wallUs; // when the request ended, microseconds since the epoch
    std::optional<qint64> responseUs; // from the request's end to the reply's first byte
};

// "#3  14:03:27.123456  mbap 127.0.0.1:5502  unit 1  03 read holding registers 100-101
// answered  01 03 04 00 01 00 02  after 0.104 ms" and the like.
QString deviceTextLine(const DeviceRecord &record, const FaultRules &rules);
QByteArray deviceJsonLine(const DeviceRecord &record, const FaultRules &rules);

class DeviceTally
{
public:
    void add(const DeviceRecord &record);
    quint64 requests() const { return m_requests; }

    QString summaryText(const FaultRules &rules, bool replays) const;
    QByteArray summaryJsonLine(const FaultRules &rules, bool replays) const;

private:
    quint64 m_requests = 0;
    std::array<quint64, 10> m_results{};
    std::array<quint64, 3> m_sources{};
    std::map<QString, quint64> m_links;
    std::map<int, quint64> m_units;
    ResponseTimes m_responseTimes;
};

} // namespace tallowick
