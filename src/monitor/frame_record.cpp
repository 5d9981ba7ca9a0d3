#include "monitor/frame_record.h"

#include "frames/crc.h"
#include "frames/frame_text.h"
#include "frames/modbus_pdu.h"
#include "log/time_stamp.h"

#include <initializer_list>
#include <utility>

namespace tallowick {

namespace {

QString hex2(quint8 byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QString jsonBool(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
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

QString crcText(quint16 crc)
{
    return hex2(quint8(crc & 0xFF)) + hex2(quint8(crc >> 8));
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
    // Every value is a number, a boolean, null or text of digits, letters and
    // the time's punctuation: none needs escaping.
    QString line = QStringLiteral("{\"n\":") + QString::number(frame.number) +
                   QStringLiteral(",\"time\":\"") + frame.time + QStringLiteral("\",\"gap_us\":") +
                   (cut.gapUs ? QString::number(*cut.gapUs) : QStringLiteral("null")) +
                   QStringLiteral(",\"bytes\":\"") + frameText(cut.bytes, false) +
                   QStringLiteral("\",\"crc_ok\":") + jsonBool(frame.crcOk);
    if (!frame.crcOk && cut.bytes.size() >= 2)
        line += QStringLiteral(",\"expected_crc\":\"") + crcText(frame.expectedCrc) + u'"';
    line += QStringLiteral(",\"role\":\"") + roleName(judgement.role) + u'"';
    if (judgement.replyTo)
        line += QStringLiteral(",\"reply_to\":") + QString::number(*judgement.replyTo) +
                QStringLiteral(",\"response_us\":") + QString::number(*judgement.responseUs);
    if (judgement.exception)
        line += QStringLiteral(",\"exception\":") + QString::number(*judgement.exception);
    if (cut.innerGapUs)
        line += QStringLiteral(",\"inner_gap_us\":") + QString::number(*cut.innerGapUs);
    line += QStringLiteral(",\"split\":") + jsonBool(cut.split) + QStringLiteral(",\"joined\":") +
            jsonBool(cut.joined) + u'}';
    return line;
}

namespace {

// Both forms of the summary give the same figures in the same order: frames,
// CRC errors, requests, replies, unanswered, exceptions, split, joined, then the
// response times' min, median, p99 and max when any reply was timed.
QString filledSummary(const MonitorSummary &summary, QString counts, QString times,
                      const QString &untimed, QString (*showTime)(qint64 microseconds))
{
    for (const qint64 count :
         {qint64(summary.frames), qint64(summary.crcErrors), qint64(summary.pairing.requests),
          qint64(summary.pairing.replies), qint64(summary.pairing.unanswered),
          qint64(summary.pairing.exceptions), qint64(summary.split), qint64(summary.joined)})
        counts = counts.arg(count);
    const ResponseTimes &timed = summary.responseTimes;
    if (timed.count() == 0)
        return counts + untimed;
    for (const auto time : timed.summaryFigures())
        times = times.arg(showTime(time.count()));
    return counts + times;
}

} // namespace

QString unansweredTextLine(const Unanswered &unanswered)
{
    return u'#' + QString::number(unanswered.number) + QStringLiteral(" unanswered after ") +
           millis3(unanswered.afterUs) + QStringLiteral(" ms");
}

QString summaryText(const MonitorSummary &summary)
{
    return filledSummary(summary,
                         QStringLiteral("%1 frames, %2 CRC errors, %3 requests, %4 replies, "
                                        "%5 unanswered, %6 exceptions, %7 split, %8 joined"),
                         QStringLiteral("; response time min %1, median %2, p99 %3, max %4 ms"),
                         QString(), millis3);
}

QString summaryJsonLine(const MonitorSummary &summary)
{
    return filledSummary(
               summary,
               QStringLiteral("{\"summary\":{\"frames\":%1,\"crc_errors\":%2,\"requests\":%3,"
                              "\"replies\":%4,\"unanswered\":%5,\"exceptions\":%6,\"split\":%7,"
                              "\"joined\":%8"),
               QStringLiteral(",\"response_us\":{\"min\":%1,\"median\":%2,\"p99\":%3,\"max\":%4}"),
               QStringLiteral(",\"response_us\":null"),
               [](qint64 microseconds) { return QString::number(microseconds); }) +
           QStringLiteral("}}");
}

} // namespace tallowick
