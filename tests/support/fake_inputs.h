#pragma once

#include "engine/exchange_inputs.h"

#include <QString>
#include <array>
#include <utility>

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
        // The value each field answers for; the other fields answer none.
        static constexpr std::pair<ConfigValue, Field> answers[] = {
            {LineNumberValue, SendCnt}, {TimeoutValue, Timeout}, {AddressValue, Address},
            {PortValue, Port},          {PassesValue, Count},    {FirstLineValue, Start},
            {LastLineValue, Stop},      {PauseValue, Pause}};
        for (const auto &[answered, by] : answers) {
            if (answered == which)
                return field[by];
        }
        return {};
    }
    QString lineCaption(int line) const override { return QStringLiteral("CMD%1：").arg(line + 1); }
    LinkChoices linkChoices() const override
    {
        return {crc, field[ComSelect], field[ConfigCom], drop};
    }
};

} // namespace tallowick::test
