#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>
#include <variant>

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
// The settings as --serial-settings takes them: "9600,n,8,1".
QString lineSettingsText(const LineSettings &settings);

// The baud rates a Linux serial port is set to by name (B9600 ...).
bool isLineBaudRate(qint32 baudRate);

// The settings of a program's --serial-settings, or what it takes: the text
// as parseLineSettings reads it, at one of the rates above. The same for
// tallowick-run and tallowick-monitor, so that both take and refuse the same.
struct SettingsRefusal
{
    QString what; // "takes ..., not "TEXT""
};
std::variant<LineSettings, SettingsRefusal> programLineSettings(const QString &text);

} // namespace tallowick
