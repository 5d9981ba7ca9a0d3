#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>

namespace tallowick {

// Why opening the serial link failed. The two named kinds are the ones the
// user is told about with their own message; everything else is "other".
enum class SerialError {
    None,
    InvalidPort,     // no such port (the classic error 8002)
    InvalidSettings, // a line settings text the port does not accept (380)
    Other,           // busy, no permission, ...
};

// The serial port as the send path and reply reception use it: opened with a
// `comSelect` text and a `configCOM` text, bytes written raw, every arrival
// signalled on the UI thread.
class SerialLink : public QObject
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);

    bool isOpen() const;
    // Port number, line settings, open, RTS off, in this order.
    SerialError open(const QString &comSelect, const QString &configCom);
    // Writes the whole frame; false when the port is not open or refused it.
    bool write(const QByteArray &frame);
    QByteArray readAll();
    void close();
    qint32 baudRate() const;

signals:
    void dataReceived();
    // The device went away while open (a USB adapter pulled out, a pty closed).
    void failed(const QString &reason);

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort m_port;
};

} // namespace tallowick
