#include "config/config_value.h"

namespace tallowick {

namespace {

std::array<ConfigValueNames, configValueCount> makeNames()
{
    std::array<ConfigValueNames, configValueCount> names{{
        {"FILENAME", "filename", QStringLiteral("filetitle")},
        {"IP", "IP", QStringLiteral("address")},
        {"PORT", "port", QStringLiteral("port")},
        {"TIMEOUT", "timeout", QStringLiteral("timeout")},
        {"REPEAT", "repeat", QStringLiteral("repeat")},
        {"REPEAT_START", "REPEAT_START", QStringLiteral("rpStart")},
        {"REPEAT_STOP", "REPEAT_STOP", QStringLiteral("rpStop")},
        {"SEND_CNT", "SEND_CNT", QStringLiteral("sendCnt")},
        {"REPEAT_CNT", "REPEAT_CNT", QStringLiteral("rCNT")},
    }};
    for (int i = 0; i < commandLineCount; ++i) {
        const QByteArray cmd = "CMD" + QByteArray::number(i);
        const QByteArray note = "noteText" + QByteArray::number(i);
        names[commandValue(i)] = {cmd, cmd, QStringLiteral("cmd_%1").arg(i)};
        names[noteValue(i)] = {note, note, QStringLiteral("noteText_%1").arg(i)};
    }
    return names;
}

} // namespace

const std::array<ConfigValueNames, configValueCount> &configValueNames()
{
    static const auto names = makeNames();
    return names;
}

} // namespace tallowick
