#include "device/text_forms.h"

namespace tallowick {

std::optional<quint64> decimalNumber(QStringView text, quint64 most)
{
    if (text.isEmpty())
        return std::nullopt;
    quint64 n = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        const quint64 digit = u - u'0';
        if (digit > most || n > (most - digit) / 10)
            return std::nullopt;
        n = n * 10 + digit;
    }
    return n;
}

std::optional<QByteArray> hexBytes(QStringView digits)
{
    if (digits.size() % 2 != 0)
        return std::nullopt;
    QByteArray bytes(digits.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int high = hexDigit(digits[2 * i]);
        const int low = hexDigit(digits[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = char(high << 4 | low);
    }
    return bytes;
}

} // namespace tallowick
