#include "config/config_value.h"

namespace tallowick {

namespace {

std::array<ConfigValueNames, configValueCount> makeNames()
{
    std::array<ConfigValueNames, configValueCount> names{{
        {"FILENAME", "filename", QStringLiteral("filetitle"), QStringLiteral("fileName")},
        {"IP", "IP", QStringLiteral("address"), QStringLiteral("192.168.1.100")},
        {"PORT", "port", QStringLiteral("port"), QStringLiteral("1560")},
        {"TIMEOUT", "timeout", QStringLiteral("timeout"), QStringLiteral("3000")},
        {"REPEAT", "repeat", QStringLiteral("repeat"), QStringLiteral("1000")},
        {"REPEAT_START", "REPEAT_START", QStringLiteral("rpStart"), QStringLiteral("1")},
        {"REPEAT_STOP", "REPEAT_STOP", QStringLiteral("rpStop"), QStringLiteral("1")},
        {"SEND_CNT", "SEND_CNT", QStringLiteral("sendCnt"), QStringLiteral("1")},
        {"REPEAT_CNT", "REPEAT_CNT", QStringLiteral("rCNT"), QString()},
    }};
    for (int i = 0; i < commandLineCount; ++i) {
        const QByteArray cmd = "CMD" + QByteArray::number(i);
        const QByteArray note = "noteText" + QByteArray::number(i);
        names[commandValue(i)] = {cmd, cmd, QStringLiteral("cmd_%1").arg(i),
                                  QStringLiteral("030102030405")};
        names[noteValue(i)] = {note, note, QStringLiteral("noteText_%1").arg(i), QString()};
    }
    return names;
}

} // namespace

const std::array<ConfigValueNames, configValueCount> &configValueNames()
{
    static const auto names = makeNames();
    return names;
}

QStringList designDefaults()
{
    QStringList values;
    for (const ConfigValueNames &names : configValueNames())
        values << names.designDefault;
    return values;
}

} // namespace tallowick
