#include "engine/command_text.h"

#include "frames/crc.h"
#include "frames/frame_text.h"

namespace tallowick {

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

QByteArray buildFrame(const QByteArray &data, bool withCrc)
{
    return withCrc ? tallowick::withCrc(data) : data;
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
