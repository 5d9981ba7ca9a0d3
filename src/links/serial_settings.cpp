#include "links/serial_settings.h"

#include "links/serial_line_setup.h"

#include <QRegularExpression>
#include <QStringList>

#include <initializer_list>
#include <utility>

namespace tallowick {

namespace {

// The value a text stands for in a short table of spellings, exactly.
template <class T>
std::optional<T> lookUp(const QString &text, std::initializer_list<std::pair<QStringView, T>> table)
{
    for (const auto &[spelling, value] : table) {
        if (text == spelling)
            return value;
    }
    return std::nullopt;
}

} // namespace

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

bool isLineBaudRate(qint32 baudRate)
{
    return lineSpeed(baudRate).has_value();
}

std::variant<LineSettings, SettingsRefusal> programLineSettings(const QString &text)
{
    const auto settings = parseLineSettings(text);
    if (!settings)
        return SettingsRefusal{
            QStringLiteral("takes baud,parity,data,stop such as 9600,n,8,1, not \"%1\"").arg(text)};
    if (!isLineBaudRate(settings->baudRate))
        return SettingsRefusal{QStringLiteral("takes a baud rate a serial port is set to, 50 to "
                                              "4000000 such as 9600 or 115200, not \"%1\"")
                                   .arg(text)};
    return *settings;
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

    const auto parity = lookUp<QSerialPort::Parity>(parts.at(1).trimmed().toLower(),
                                                    {{u"n", QSerialPort::NoParity},
                                                     {u"e", QSerialPort::EvenParity},
                                                     {u"o", QSerialPort::OddParity},
                                                     {u"m", QSerialPort::MarkParity},
                                                     {u"s", QSerialPort::SpaceParity}});
    const auto dataBits =
        lookUp<QSerialPort::DataBits>(parts.at(2).trimmed(), {{u"5", QSerialPort::Data5},
                                                              {u"6", QSerialPort::Data6},
                                                              {u"7", QSerialPort::Data7},
                                                              {u"8", QSerialPort::Data8}});
    const auto stopBits =
        lookUp<QSerialPort::StopBits>(parts.at(3).trimmed(), {{u"1", QSerialPort::OneStop},
                                                              {u"1.5", QSerialPort::OneAndHalfStop},
                                                              {u"2", QSerialPort::TwoStop}});
    if (!parity || !dataBits || !stopBits)
        return std::nullopt;
    settings.parity = *parity;
    settings.dataBits = *dataBits;
    settings.stopBits = *stopBits;
    return settings;
}

QString lineSettingsText(const LineSettings &settings)
{
    const char parity = settings.parity == QSerialPort::EvenParity    ? 'e'
                        : settings.parity == QSerialPort::OddParity   ? 'o'
                        : settings.parity == QSerialPort::MarkParity  ? 'm'
                        : settings.parity == QSerialPort::SpaceParity ? 's'
                                                                      : 'n';
    const QString stop = settings.stopBits == QSerialPort::TwoStop          ? QStringLiteral("2")
                         : settings.stopBits == QSerialPort::OneAndHalfStop ? QStringLiteral("1.5")
                                                                            : QStringLiteral("1");
    return QStringLiteral("%1,%2,%3,%4")
        .arg(settings.baudRate)
        .arg(QLatin1Char(parity))
        .arg(int(settings.dataBits))
        .arg(stop);
}

} // namespace tallowick
