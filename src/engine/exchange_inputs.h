#pragma once

#include "config/config_value.h"
#include "engine/send_checks.h"

#include <QString>

namespace tallowick {

// The settings that are not kept in a configuration file.
struct LinkChoices
{
    bool appendCrc = true;
    QString comSelect;                  // the serial port
    QString configCom;                  // its line settings
    bool dropLinkAfterExchange = false; // else the link is kept
    // A repeat run goes on past a failed link, connecting again for its next
    // exchange, where the window's run ends on it.
    bool goOnAfterLinkFault = false;
};

// What the exchange engine reads from the user's settings. Each is read at the
// moment it is needed, never cached: the line number when the line is sent
// (for TCP, when the connection is made), the repeat fields at each pass, the
// link settings at each Send.
class ExchangeInputs
{
public:
    virtual ~ExchangeInputs() = default;

    // One of the configuration values, as it stands now.
    virtual QString value(ConfigValue which) const = 0;
    virtual QString lineCaption(int line) const = 0; // "CMD1：" ...; zero-based line
    virtual LinkChoices linkChoices() const = 0;

    QString lineNumber() const { return value(LineNumberValue); } // 1 to 15, as typed
    QString commandText(int line) const { return value(commandValue(line)); }
    QString address() const { return value(AddressValue); }
    QString port() const { return value(PortValue); }
    QString timeout() const { return value(TimeoutValue); } // reply time-out, ms
    RepeatFields repeatFields() const
    {
        return {value(PassesValue), value(FirstLineValue), value(LastLineValue), value(PauseValue)};
    }
};

} // namespace tallowick
