#pragma once

// What the monitor says about each frame: a line of text, a JSON object, and
// the summary at the end.

#include "frames/response_times.h"
#include "monitor/frame_cutter.h"
#include "monitor/frame_pairing.h"

#include <QString>

namespace tallowick {

struct MonitoredFrame
{
    quint64 number = 0; // from 1
    CutFrame cut;
    // The wall-clock time of the first byte, microseconds since the epoch.
    qint64 wallUs = 0;
    QString time; // isoLocalTime(wallUs)
    bool crcOk = false;
    quint16 expectedCrc = 0;
    Judgement judgement;
};

// Checks the CRC and derives the wall-clock time from the monotonic one.
MonitoredFrame monitoredFrame(quint64 number, CutFrame cut, qint64 wallMinusMonotonicUs,
                              const Judgement &judgement);

// "unit 1, 03 read holding registers, register 0, count 2" and the like.
QString frameDescription(QByteArrayView frame, FrameRole role);

// "#3  14:03:27.123456  +4.012 ms  reply  0103020005 7847  CRC ok  to #2 after 1.234 ms  unit 1,
// ..."
QString frameTextLine(const MonitoredFrame &frame);

// One JSON object, without the line break.
QString frameJsonLine(const MonitoredFrame &frame);

struct MonitorSummary
{
    quint64 frames = 0;
    quint64 crcErrors = 0;
    quint64 split = 0;
    quint64 joined = 0;
    PairingCounts pairing;
    ResponseTimes responseTimes;
};

// "#5 unanswered after 1000.000 ms"
QString unansweredTextLine(const Unanswered &unanswered);

QString summaryText(const MonitorSummary &summary);
QString summaryJsonLine(const MonitorSummary &summary);

} // namespace tallowick
