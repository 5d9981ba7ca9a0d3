#include "monitor/frame_record.h"

#include "frames/crc.h"
#include "frames/frame_text.h"
#include "frames/modbus_pdu.h"
#include "log/json_line.h"
#include "log/time_stamp.h"

#include <initializer_list>
#include <utility>

namespace tallowick {

namespace {

QString hex2(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

MonitoredFrame monitoredFrame(quint64 number, CutFrame cut, qint64 wallMinusMonotonicUs,
                              const Judgement &judgement)
{
    MonitoredFrame frame;
    frame.number = number;
    frame.wallUs = cut.firstByteUs + wallMinusMonotonicUs;
    frame.time = isoLocalTime(frame.wallUs);
    if (cut.bytes.size() >= 2) {
        frame.expectedCrc = CRC16(cut.bytes);
        frame.crcOk = endsInCrc(cut.bytes, frame.expectedCrc);
    }
    frame.cut = std::move(cut);
    frame.judgement = judgement;
    return frame;
}

QString frameDescription(QByteArrayView frame, FrameRole role)
{
    if (frame.size() < 2)
        return QStringLiteral("too short for an address and a function code");
    const auto function = quint8(frame[1]);
    QString text = QStringLiteral("unit %1, %2").arg(quint8(frame[0])).arg(hex2(function));
    const quint8 plain = function & 0x7F;
    if (!functionName(plain).isEmpty())
        text += u' ' + functionName(plain);
    if (function & 0x80) {
        text += QStringLiteral(", exception");
        if (frame.size() >= 3) {
            const auto code = quint8(frame[2]);
            text += u' ' + hex2(code);
            if (!exceptionName(code).isEmpty())
                text += u' ' + exceptionName(code);
        }
        return text;
    }
    // Only what the frame's length shows to be there; the CRC is not data.
    const qsizetype data = frame.size() - 2;
    const bool reply = role == FrameRole::Reply;
    switch (function) {
    case 0x03:
    case 0x04:
        if (!reply && data == 6)
            text += QStringLiteral(", register %1, count %2")
                        .arg(bigEndian16(frame, 2))
                        .arg(bigEndian16(frame, 4));
        else if (reply && data >= 3)
            text += QStringLiteral(", %1 bytes").arg(quint8(frame[2]));
        break;
    case 0x06:
        if (data == 6)
            text += QStringLiteral(", register %1, value %2")
                        .arg(bigEndian16(frame, 2))
                        .arg(bigEndian16(frame, 4));
        break;
    case 0x10:
        if (data >= 6)
            text += QStringLiteral(", register %1, count %2")
                        .arg(bigEndian16(frame, 2))
                        .arg(bigEndian16(frame, 4));
        break;
    default:
        break;
    }
    return text;
}

QString frameTextLine(const MonitoredFrame &frame)
{
    const CutFrame &cut = frame.cut;
    QString line = u'#' + QString::number(frame.number) + QStringLiteral("  ") +
                   frame.time.mid(11, 15) + QStringLiteral("  ");
    line +=
        cut.gapUs ? u'+' + millis3(*cut.gapUs) + QStringLiteral(" ms") : QStringLiteral("first");
    line += QStringLiteral("  ") + roleName(frame.judgement.role) + QStringLiteral("  ") +
            frameText(cut.bytes, cut.bytes.size() >= 2) + QStringLiteral("  ");
    if (cut.bytes.size() < 2)
        line += QStringLiteral("no CRC");
    else if (frame.crcOk)
        line += QStringLiteral("CRC ok");
    else
        line += QStringLiteral("CRC wrong, should be ") + crcText(frame.expectedCrc);
    if (cut.split)
        line += QStringLiteral("  split");
    if (cut.joined)
        line += QStringLiteral("  joined");
    if (cut.innerGapUs)
        line += QStringLiteral("  t1.5 exceeded (silent ") + millis3(*cut.innerGapUs) +
                QStringLiteral(" ms inside)");
    const Judgement &judgement = frame.judgement;
    if (judgement.replyTo)
        line += QStringLiteral("  to #") + QString::number(*judgement.replyTo) +
                QStringLiteral(" after ") + millis3(*judgement.responseUs) + QStringLiteral(" ms");
    line += QStringLiteral("  ") + frameDescription(cut.bytes, judgement.role);
    return line;
}

QString frameJsonLine(const MonitoredFrame &frame)
{
    const CutFrame &cut = frame.cut;
    const Judgement &judgement = frame.judgement;
    JsonLine json;
    json.number("n", qint64(frame.number))
        .text("time", frame.time)
        .number("gap_us", cut.gapUs)
        .bytes("bytes", cut.bytes)
        .boolean("crc_ok", frame.crcOk);
    if (!frame.crcOk && cut.bytes.size() >= 2)
        json.text("expected_crc", crcText(frame.expectedCrc));
    json.text("role", roleName(judgement.role));
    if (judgement.replyTo)
        json.number("reply_to", qint64(*judgement.replyTo))
            .number("response_us", judgement.responseUs);
    if (judgement.exception)
        json.number("exception", qint64(*judgement.exception));
    if (cut.innerGapUs)
        json.number("inner_gap_us", qint64(*cut.innerGapUs));
    return QString::fromLatin1(
        json.boolean("split", cut.split).boolean("joined", cut.joined).closed());
}

QString unansweredTextLine(const Unanswered &unanswered)
{
    return u'#' + QString::number(unanswered.number) + QStringLiteral(" unanswered after ") +
           millis3(unanswered.afterUs) + QStringLiteral(" ms");
}

QString summaryText(const MonitorSummary &summary)
{
    QString text = QStringLiteral("%1 frames, %2 CRC errors, %3 requests, %4 replies, "
                                  "%5 unanswered, %6 exceptions, %7 split, %8 joined");
    // In the order of the JSON summary's counts.
    for (const qint64 count :
         {qint64(summary.frames), qint64(summary.crcErrors), qint64(summary.pairing.requests),
          qint64(summary.pairing.replies), qint64(summary.pairing.unanswered),
          qint64(summary.pairing.exceptions), qint64(summary.split), qint64(summary.joined)})
        text = text.arg(count);
    const ResponseTimes &timed = summary.responseTimes;
    if (timed.count() == 0)
        return text;
    QString times = QStringLiteral("; response time min %1, median %2, p99 %3, max %4 ms");
    for (const auto time : timed.summaryFigures())
        times = times.arg(millis3(time.count()));
    return text + times;
}

QString summaryJsonLine(const MonitorSummary &summary)
{
    JsonLine counts;
    counts.number("frames", qint64(summary.frames))
        .number("crc_errors", qint64(summary.crcErrors))
        .number("requests", qint64(summary.pairing.requests))
        .number("replies", qint64(summary.pairing.replies))
        .number("unanswered", qint64(summary.pairing.unanswered))
        .number("exceptions", qint64(summary.pairing.exceptions))
        .number("split", qint64(summary.split))
        .number("joined", qint64(summary.joined))
        .responseTimes("response_us", summary.responseTimes);
    return QString::fromLatin1(JsonLine().object("summary", counts).closed());
}

} // namespace tallowick
