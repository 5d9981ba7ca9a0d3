#include "frames/frame_text.h"

namespace tallowick {

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

} // namespace tallowick
