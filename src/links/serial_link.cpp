#include "links/serial_link.h"

#include "links/serial_settings.h"

namespace tallowick {

SerialLink::SerialLink(QObject *parent) : Link(parent)
{
    m_port.setObjectName(QStringLiteral("MSComm1"));
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::dataArrived);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::onError);
}

int SerialLink::state() const
{
    return m_port.isOpen() ? Connected : Closed;
}

LinkError SerialLink::open(const LinkTarget &target)
{
    if (m_port.isOpen())
        return LinkError::None;
    const auto path = serialDevicePath(target.comSelect);
    if (!path)
        return LinkError::InvalidPort;
    const auto settings = parseLineSettings(target.configCom);
    if (!settings)
        return LinkError::InvalidSettings;

    m_port.setPortName(*path);
    if (!m_port.setBaudRate(settings->baudRate) || !m_port.setParity(settings->parity) ||
        !m_port.setDataBits(settings->dataBits) || !m_port.setStopBits(settings->stopBits))
        return LinkError::InvalidSettings;
    m_port.setFlowControl(QSerialPort::NoFlowControl);

    if (!m_port.open(QIODevice::ReadWrite)) {
        const auto error = m_port.error();
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
    return LinkError::None;
}

bool SerialLink::write(const QByteArray &frame)
{
    // Put the frame on the line now rather than at the next turn of the event loop.
    return m_port.isOpen() && writeNow(m_port, frame);
}

QByteArray SerialLink::readAll()
{
    if (!m_port.isOpen())
        return {};
    return m_port.readAll();
}

void SerialLink::close()
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

qint32 SerialLink::baudRate() const
{
    return m_port.baudRate();
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !m_port.isOpen())
        return;
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError) {
        // Close so that the next Send opens the device again.
        const QString reason = m_port.errorString();
        m_port.close();
        m_port.clearError();
        emit failed(reason);
    }
}

} // namespace tallowick
