#include "engine/command_text.h"

namespace tallowick {

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.toUpper().unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

std::optional<QByteArray> textToFrame(QStringView commandText)
{
    const qsizetype length = commandText.size();
    QByteArray data;
    data.reserve((length + 1) / 2);
    for (qsizetype i = 0; i < length; i += 2) {
        const int high = hexDigit(commandText[i]);
        if (high < 0)
            return std::nullopt;
        if (i + 1 == length) {
            data.append(char(high));
            break;
        }
        const int low = hexDigit(commandText[i + 1]);
        if (low < 0)
            return std::nullopt;
        data.append(char(high * 16 + low));
    }
    return data;
}

quint16 CRC16(QByteArrayView bytes)
{
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i + 2 < bytes.size(); ++i) {
        crc ^= quint8(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

QByteArray buildFrame(const QByteArray &data, bool withCrc)
{
    if (!withCrc)
        return data;
    QByteArray frame = data;
    frame.append(2, '\0');
    const quint16 crc = CRC16(frame);
    frame[frame.size() - 2] = char(crc & 0xFF);
    frame[frame.size() - 1] = char(crc >> 8);
    return frame;
}

QString frameText(QByteArrayView frame, bool endsInCrc)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(frame.size() * 2 + 1);
    for (qsizetype i = 0; i < frame.size(); ++i) {
        if (endsInCrc && i == frame.size() - 2)
            text.append(u' ');
        const auto byte = quint8(frame[i]);
        text.append(QLatin1Char(digits[byte >> 4]));
        text.append(QLatin1Char(digits[byte & 0x0F]));
    }
    return text;
}

std::optional<BuiltFrame> commandFrame(QStringView commandText, bool withCrc)
{
    const auto data = textToFrame(commandText);
    if (!data)
        return std::nullopt;
    BuiltFrame built{buildFrame(*data, withCrc), {}};
    built.text = frameText(built.bytes, withCrc);
    return built;
}

} // namespace tallowick
