#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

namespace tallowick {

// The device a `comSelect` text names: a whole number n is the n-th serial port
// in the traditional Linux numbering (1 is /dev/ttyS0); an absolute path names
// that device; a bare name such as ttyUSB0 is looked up under /dev.
std::optional<QString> serialDevicePath(const QString &comSelect);

struct LineSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// "baud,parity,data bits,stop bits", e.g. "9600,n,8,1". Parity is one of
// n, e, o, m, s in either case; data bits 5 to 8; stop bits 1, 1.5 or 2.
std::optional<LineSettings> parseLineSettings(const QString &configCom);

} // namespace tallowick
