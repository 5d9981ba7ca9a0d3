#pragma once

// The exchange engine on fake links and the manual clock, driven by short
// scripts of user actions and peer events.
#include "engine/exchange_engine.h"
#include "support/fake_inputs.h"
#include "support/fake_link.h"
#include "support/manual_clock.h"

#include <QStringList>

namespace tallowick::test {

class EngineFixture
{
public:
    EngineFixture();

    // Runs steps separated by ";":
    //   send, label N (1-based), crc, mode, repeat       the user's actions
    //   accept, arrive HEX, close, reset, gone           the peer's: arrive, close and
    //                                                    reset go to the link of the mode
    //   wait MS (fractions allowed), next, idle          the clock
    //   set NAME=VALUE                                   a field typed, by the name of its
    //                                                    control ("cmd1" to "cmd15"; "crc" and
    //                                                    "drop" are checked with 1); "baud"
    //                                                    and "open" (a LinkError name) set the
    //                                                    serial port's speed and what opening
    //                                                    it reports
    void run(const QString &script);
    // "tcp 7 1/2 serial 7 1/1 open failed waiting repeating": the state of each
    // link that is not closed or was opened, how often it was opened and how
    // many frames went out on it, then the engine's flags that are set
    // (linkOpen, linkFailed, isWaiting, isRepeating).
    QString links() const;

    // Oldest first: the text, followed by "|n" when it ends in n line breaks
    // other than two; "¶" is an extra line break; "box <flags> <title>: <text>"
    // a message for the user.
    QStringList log;
    QString status;
    // "text|flags|title" of each message for the user, as a box would show it.
    QStringList boxes;

    FakeInputs in;
    ManualClock clock;
    FakeLink serial{FakeLink::Serial};
    FakeLink tcp{FakeLink::Tcp};
    ManualTimer *replyTimeout;
    ManualTimer *serialQuiet;
    ManualTimer *repeatPause;
    ExchangeEngine engine;

private:
    void set(const QString &name, const QString &value);
};

} // namespace tallowick::test
