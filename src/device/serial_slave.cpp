#include "device/serial_slave.h"

#include "frames/crc.h"
#include "platform/descriptor_io.h"
#include "platform/system_reason.h"

#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

namespace tallowick {

namespace {

// A run of bytes without a silence longer than any frame is noise: it is cut
// here, so that a line that never pauses costs bounded memory.
constexpr qsizetype longestRun = 1024;

} // namespace

SerialSlave::SerialSlave(int fd, const QString &path, const LineTiming &timing, SlaveHost &host,
                         QObject *parent)
    : QObject(parent), m_fd(fd), m_path(path), m_name(QStringLiteral("serial ") + path),
      m_timing(timing), m_host(host), m_silence(host.newTimer(this)),
      m_holdBack(host.newTimer(this)),
      m_replies(new ReplyQueue(host,
                               {m_name,
                                {},
                                [this](QByteArrayView bytes) { write(bytes); },
                                [this](qsizetype bytes) { return m_timing.wireTime(bytes); },
                                {},
                                frameEndUs()},
                               this))
{
    connect(m_silence, &OneShotTimer::timeout, this, &SerialSlave::silenceEnded);
    connect(m_holdBack, &OneShotTimer::timeout, this, &SerialSlave::holdBackEnded);
}

SerialSlave::~SerialSlave()
{
    m_reader.reset();
    m_writer.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

void SerialSlave::start()
{
    m_reader = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    connect(m_reader.get(), &QSocketNotifier::activated, this, &SerialSlave::readable);
}

std::chrono::microseconds SerialSlave::frameEndUs() const
{
    return std::chrono::ceil<std::chrono::microseconds>(m_timing.frameEnd());
}

void SerialSlave::stop()
{
    m_reader.reset();
    m_silence->stop();
    releaseHeld();
    m_replies->drop();
}

void SerialSlave::readable()
{
    if (readLine() && !m_request.isEmpty())
        m_silence->start(frameEndUs());
}

bool SerialSlave::readLine()
{
    const DescriptorRead read = readWhatIsThere(m_fd, [this](QByteArrayView bytes) {
        const qint64 now = m_host.nowUs();
        // The silence before these bytes: their delivery less the one
        // before, less their own time on the wire.
        const qint64 silenceUs =
            now - m_lastDeliveryUs -
            std::chrono::duration_cast<std::chrono::microseconds>(m_timing.wireTime(bytes.size()))
                .count();
        if (!m_request.isEmpty() && silenceUs >= m_timing.t35.count())
            endRequest();
        m_request.append(bytes);
        m_lastDeliveryUs = now;
        if (m_request.size() > longestRun)
            endRequest();
        return true;
    });
    if (!read.gone)
        return true;
    if (!m_lost) {
        m_lost = true;
        m_reader.reset();
        m_silence->stop();
        emit lost(m_path + QStringLiteral(" went away") +
                  (read.error != 0 ? QStringLiteral(": ") + systemReason(read.error) : QString()));
    }
    return false;
}

void SerialSlave::silenceEnded()
{
    // Bytes that came while this wake-up was on its way belong to the
    // request, with the silence they bring.
    if (!readLine() || m_request.isEmpty())
        return;
    const qint64 quietUs = m_host.nowUs() - m_lastDeliveryUs;
    if (quietUs < frameEndUs().count()) {
        m_silence->start(frameEndUs() - std::chrono::microseconds(quietUs));
        return;
    }
    endRequest();
}

void SerialSlave::holdBackEnded()
{
    // A slave woken late may find the rest of the held frame waiting in the
    // line: the piece goes alone only if nothing came, else the request's
    // end joins them.
    if (!readLine())
        return;
    if (m_request.isEmpty())
        releaseHeld();
    else
        silenceEnded();
}

void SerialSlave::endRequest()
{
    QByteArray request = std::exchange(m_request, {});
    if (!endsInGoodCrc(request)) {
        // A piece: an adapter or a busy system may have held back the rest
        // of its frame. Two pieces that together end in a good CRC are the
        // request they were sent as.
        if (!m_held.isEmpty() && endsInGoodCrc(m_held + request)) {
            request = std::exchange(m_held, {}) + request;
            m_holdBack->stop();
        } else {
            releaseHeld();
            m_held = request;
            m_heldEndUs = m_lastDeliveryUs;
            m_holdBack->start(adapterHoldBack);
            return;
        }
    }
    releaseHeld();
    m_replies->push(m_host.serve(LinkKind::Serial, request), m_lastDeliveryUs);
}

void SerialSlave::releaseHeld()
{
    m_holdBack->stop();
    if (!m_held.isEmpty())
        m_replies->push(m_host.serve(LinkKind::Serial, std::exchange(m_held, {})), m_heldEndUs);
}

void SerialSlave::write(QByteArrayView bytes)
{
    if (m_lost)
        return;
    if (!m_unwritten.isEmpty()) {
        m_unwritten += bytes;
        return;
    }
    const DescriptorWrite written = writeWhatFits(m_fd, bytes);
    if (written.error == EAGAIN) {
        // The line's buffer is full: the rest goes as it drains.
        m_unwritten = bytes.sliced(written.written).toByteArray();
        m_writer = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Write);
        connect(m_writer.get(), &QSocketNotifier::activated, this, &SerialSlave::writable);
    }
    // Any other error: the line is gone, and reading it says so.
}

void SerialSlave::writable()
{
    m_writer.reset();
    write(std::exchange(m_unwritten, {}));
}

} // namespace tallowick

#include "moc_serial_slave.cpp"
