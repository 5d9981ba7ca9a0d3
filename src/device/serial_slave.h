#pragma once

// The device on a serial line: the bytes the line delivers are cut into
// requests by the line's silence, each answered through the reply queue. A
// UART delivers a byte when its stop bit ends: a silence between deliveries
// is their distance less the wire time of the later ones, and a request has
// ended once t3.5 and one character have passed since its last delivery with
// nothing new (a byte begun within t3.5 would have been delivered by then).
// A piece that does not end in a good CRC waits a little for the rest of its
// frame: USB adapters hand bytes over in batches, and a loaded system reads
// them late, so a silence measured between two reads may be neither's.

#include "device/reply_queue.h"
#include "links/line_timing.h"

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace tallowick {

class SerialSlave : public QObject
{
    Q_OBJECT
public:
    // Takes the open, non-blocking descriptor of the line.
    SerialSlave(int fd, const QString &path, const LineTiming &timing, SlaveHost &host,
                QObject *parent = nullptr);
    ~SerialSlave() override;

    QString name() const { return m_name; }
    void start();

    // The device ends: replies still waiting are done, unsent.
    void stop();

signals:
    // The line is gone (unplugged, its other end closed), in the system's words.
    void lost(const QString &reason);

private:
    std::chrono::microseconds frameEndUs() const;
    void readable();
    // Reads what the line holds; false when it is gone.
    bool readLine();
    void silenceEnded();
    void holdBackEnded();
    void endRequest();
    // The piece held, as the request it is.
    void releaseHeld();
    void write(QByteArrayView bytes);
    void writable();

    int m_fd;
    QString m_path;
    QString m_name;
    LineTiming m_timing;
    SlaveHost &m_host;
    OneShotTimer *m_silence;
    OneShotTimer *m_holdBack;
    ReplyQueue *m_replies;
    std::unique_ptr<QSocketNotifier> m_reader;
    std::unique_ptr<QSocketNotifier> m_writer;
    QByteArray m_request;
    qint64 m_lastDeliveryUs = 0;
    QByteArray m_held; // a piece with a wrong CRC, waiting for its rest
    qint64 m_heldEndUs = 0;
    QByteArray m_unwritten; // what the line did not take at once
    bool m_lost = false;
};

} // namespace tallowick
