#include "frames/frame_text.h"

namespace tallowick {

namespace {
constexpr char digits[] = "0123456789ABCDEF";
} // namespace

QString crcText(quint16 crc)
{
    const char bytes[] = {char(crc & 0xFF), char(crc >> 8)};
    return frameText(QByteArrayView(bytes, 2), false);
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

char *writeHex(char *to, QByteArrayView frame)
{
    for (const char byte : frame) {
        *to++ = digits[quint8(byte) >> 4];
        *to++ = digits[quint8(byte) & 0x0F];
    }
    return to;
}

QString frameText(QByteArrayView frame, bool endsInCrc)
{
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

} // namespace tallowick
