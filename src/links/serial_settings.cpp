#include "links/serial_settings.h"

#include <QRegularExpression>
#include <QStringList>

namespace tallowick {

std::optional<QString> serialDevicePath(const QString &comSelect)
{
    const QString text = comSelect.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    static const QRegularExpression number(QStringLiteral("^[0-9]{1,5}$"));
    if (number.match(text).hasMatch()) {
        const int n = text.toInt();
        if (n < 1 || n > 32767)
            return std::nullopt;
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    }
    if (text.startsWith(u'/'))
        return text;
    static const QRegularExpression bareName(QStringLiteral("^[A-Za-z][A-Za-z0-9_.:-]*$"));
    if (bareName.match(text).hasMatch())
        return QStringLiteral("/dev/") + text;
    return std::nullopt;
}

std::optional<LineSettings> parseLineSettings(const QString &configCom)
{
    const QStringList parts = configCom.split(u',');
    if (parts.size() != 4)
        return std::nullopt;

    LineSettings settings;
    bool ok = false;
    const QString baud = parts.at(0).trimmed();
    settings.baudRate = baud.toInt(&ok);
    if (!ok || settings.baudRate <= 0 || baud.startsWith(u'+'))
        return std::nullopt;

    const QString parity = parts.at(1).trimmed().toLower();
    if (parity == u"n")
        settings.parity = QSerialPort::NoParity;
    else if (parity == u"e")
        settings.parity = QSerialPort::EvenParity;
    else if (parity == u"o")
        settings.parity = QSerialPort::OddParity;
    else if (parity == u"m")
        settings.parity = QSerialPort::MarkParity;
    else if (parity == u"s")
        settings.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const QString data = parts.at(2).trimmed();
    if (data == u"5")
        settings.dataBits = QSerialPort::Data5;
    else if (data == u"6")
        settings.dataBits = QSerialPort::Data6;
    else if (data == u"7")
        settings.dataBits = QSerialPort::Data7;
    else if (data == u"8")
        settings.dataBits = QSerialPort::Data8;
    else
        return std::nullopt;

    const QString stop = parts.at(3).trimmed();
    if (stop == u"1")
        settings.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        settings.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        settings.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;

    return settings;
}

} // namespace tallowick
