#pragma once

#include "engine/exchange_inputs.h"

#include <QString>
#include <array>

namespace tallowick::test {

// The settings as typed. The fields keep the order the exchange engine's fuzz
// harness picks them by, so that its seeds keep their meaning.
struct FakeInputs : ExchangeInputs
{
    enum Field {
        SendCnt,
        Timeout,
        Address,
        Port,
        ComSelect,
        Count,
        Start,
        Stop,
        Pause,
        ConfigCom,
        FieldCount
    };

    std::array<QString, FieldCount> field{"1", "1000", "127.0.0.1", "502", "/dev/ttyFAKE0",
                                          "1", "1",    "1",         "10",  "9600,n,8,1"};
    std::array<QString, commandLineCount> cmd{QStringLiteral("010300000001")};
    bool crc = true;
    bool drop = false; // the "間斷連線" choice

    QString value(ConfigValue which) const override
    {
        if (which >= FirstCommandValue && which < FirstCommandValue + commandLineCount)
            return cmd.at(size_t(which - FirstCommandValue));
        switch (which) {
        case LineNumberValue:
            return field[SendCnt];
        case TimeoutValue:
            return field[Timeout];
        case AddressValue:
            return field[Address];
        case PortValue:
            return field[Port];
        case PassesValue:
            return field[Count];
        case FirstLineValue:
            return field[Start];
        case LastLineValue:
            return field[Stop];
        case PauseValue:
            return field[Pause];
        default:
            return {};
        }
    }
    QString lineCaption(int line) const override { return QStringLiteral("CMD%1：").arg(line + 1); }
    LinkChoices linkChoices() const override
    {
        return {crc, field[ComSelect], field[ConfigCom], drop};
    }
};

} // namespace tallowick::test
