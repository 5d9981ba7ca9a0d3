#pragma once

#include "engine/send_checks.h"

#include <QString>

namespace tallowick {

inline constexpr int commandLineCount = 15;

// What the exchange engine reads from the user's settings. Each is read at the
// moment it is needed, never cached: the line number when the line is sent
// (for TCP, when the connection is made), the repeat fields at each pass, the
// link settings at each Send.
class ExchangeInputs
{
public:
    virtual ~ExchangeInputs() = default;

    virtual QString lineNumber() const = 0;             // 1 to 15, as typed
    virtual QString commandText(int line) const = 0;    // zero-based line
    virtual QString lineCaption(int line) const = 0;    // "CMD1：" ...
    virtual bool appendCrc() const = 0;
    virtual QString address() const = 0;
    virtual QString port() const = 0;
    virtual QString timeout() const = 0;                // reply time-out, ms
    virtual QString comSelect() const = 0;
    virtual QString configCom() const = 0;
    virtual bool dropLinkAfterExchange() const = 0;     // else the link is kept
    virtual RepeatFields repeatFields() const = 0;
};

} // namespace tallowick
