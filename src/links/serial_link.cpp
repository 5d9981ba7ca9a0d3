#include "links/serial_link.h"

#include "links/serial_settings.h"

#include <cerrno>

#include <termios.h>
#include <unistd.h>

namespace tallowick {

SerialLink::SerialLink(QObject *parent) : Link(parent)
{
    m_port.setObjectName(QStringLiteral("MSComm1"));
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::dataArrived);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::onError);
}

SerialLink::~SerialLink()
{
    awaitDrain();
}

std::chrono::steady_clock::time_point SerialLink::drainOutput(int fd)
{
    while (::tcdrain(fd) != 0 && errno == EINTR) {
    }
    return std::chrono::steady_clock::now();
}

void SerialLink::watchDrain(Drain drain)
{
    m_drain = std::move(drain);
}

int SerialLink::state() const
{
    return m_port.isOpen() ? Connected : Closed;
}

LinkError SerialLink::open(const LinkTarget &target)
{
    if (m_port.isOpen())
        return LinkError::None;
    m_lastError.clear();
    const auto path = serialDevicePath(target.comSelect);
    if (!path) {
        m_lastError = QStringLiteral("%1: no such port").arg(target.comSelect);
        return LinkError::InvalidPort;
    }
    const auto settings = parseLineSettings(target.configCom);
    if (!settings) {
        m_lastError = QStringLiteral("%1: the line settings \"%2\" are no settings")
                          .arg(*path, target.configCom);
        return LinkError::InvalidSettings;
    }

    m_path = *path;
    m_port.setPortName(*path);
    if (!m_port.setBaudRate(settings->baudRate) || !m_port.setParity(settings->parity) ||
        !m_port.setDataBits(settings->dataBits) || !m_port.setStopBits(settings->stopBits)) {
        m_lastError = *path + QStringLiteral(": ") + m_port.errorString();
        return LinkError::InvalidSettings;
    }
    m_port.setFlowControl(QSerialPort::NoFlowControl);

    if (!m_port.open(QIODevice::ReadWrite)) {
        const auto error = m_port.error();
        m_lastError = *path + QStringLiteral(": ") + m_port.errorString();
        m_port.clearError();
        switch (error) {
        case QSerialPort::DeviceNotFoundError:
            return LinkError::InvalidPort;
        case QSerialPort::UnsupportedOperationError:
            return LinkError::InvalidSettings;
        default:
            return LinkError::Other;
        }
    }
    // Not every device has modem lines (a pty has none); a refusal here must
    // not fail the opening.
    m_port.setRequestToSend(false);
    m_port.clearError();
    m_settings = settings;
    return LinkError::None;
}

bool SerialLink::write(const QByteArray &frame)
{
    // Put the frame on the line now rather than at the next turn of the event loop.
    if (!m_port.isOpen() || !writeNow(m_port, frame))
        return false;
    if (m_drain)
        drainAfterWrite();
    return true;
}

void SerialLink::drainAfterWrite()
{
    // A frame still leaving goes out before this one anyway.
    awaitDrain();
    m_departedAt.reset();
    // Its own descriptor: the port may be closed while the frame leaves.
    const int fd = ::dup(int(m_port.handle()));
    m_drainer = std::thread([this, fd, drain = m_drain] {
        m_departedAt = fd >= 0 ? drain(fd) : std::chrono::steady_clock::now();
        if (fd >= 0)
            ::close(fd);
    });
}

std::optional<std::chrono::steady_clock::time_point> SerialLink::lastDeparture()
{
    awaitDrain();
    return m_departedAt;
}

void SerialLink::awaitDrain()
{
    // Closing a port waits for its output to leave too; here that is the
    // rest of one frame.
    if (m_drainer.joinable())
        m_drainer.join();
}

QByteArray SerialLink::readAll()
{
    if (!m_port.isOpen())
        return {};
    return m_port.readAll();
}

void SerialLink::close()
{
    awaitDrain();
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

std::optional<LineSettings> SerialLink::lineSettings() const
{
    return m_port.isOpen() ? m_settings : std::nullopt;
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !m_port.isOpen())
        return;
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError) {
        // Close so that the next Send opens the device again.
        const QString reason = m_port.errorString();
        m_lastError = m_path + QStringLiteral(": ") + reason;
        m_port.close();
        m_port.clearError();
        emit failed(m_lastError);
    }
}

} // namespace tallowick

#include "moc_serial_link.cpp"
