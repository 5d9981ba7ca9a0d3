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

    QString lineNumber() const override { return field[SendCnt]; }
    QString commandText(int line) const override { return cmd.at(size_t(line)); }
    QString lineCaption(int line) const override { return QStringLiteral("CMD%1：").arg(line + 1); }
    bool appendCrc() const override { return crc; }
    QString address() const override { return field[Address]; }
    QString port() const override { return field[Port]; }
    QString timeout() const override { return field[Timeout]; }
    QString comSelect() const override { return field[ComSelect]; }
    QString configCom() const override { return field[ConfigCom]; }
    bool dropLinkAfterExchange() const override { return drop; }
    RepeatFields repeatFields() const override
    {
        return {field[Count], field[Start], field[Stop], field[Pause]};
    }
};

} // namespace tallowick::test
