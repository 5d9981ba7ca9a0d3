#pragma once

// The exchange engine on fake links and the manual clock, driven by short
// scripts of user actions and peer events.
#include "engine/exchange_engine.h"
#include "support/fake_link.h"
#include "support/manual_clock.h"

#include <QHash>
#include <QStringList>

namespace tallowick::test {

// The settings as typed, by the names of their controls ("cmd1" to "cmd15";
// "crc" and "drop", the "間斷連線" choice, read "1" when checked).
struct FakeInputs : ExchangeInputs
{
    FakeInputs();
    QHash<QString, QString> field;

    QString get(const char *name) const { return field.value(QLatin1String(name)); }
    QString lineNumber() const override { return get("sendCnt"); }
    QString commandText(int line) const override
    {
        return field.value(QStringLiteral("cmd%1").arg(line + 1));
    }
    QString lineCaption(int line) const override { return QStringLiteral("CMD%1：").arg(line + 1); }
    bool appendCrc() const override { return get("crc") == u"1"; }
    QString address() const override { return get("address"); }
    QString port() const override { return get("port"); }
    QString timeout() const override { return get("timeout"); }
    QString comSelect() const override { return get("comSelect"); }
    QString configCom() const override { return get("configCOM"); }
    bool dropLinkAfterExchange() const override { return get("drop") == u"1"; }
    RepeatFields repeatFields() const override
    {
        return {get("rCNT"), get("rpStart"), get("rpStop"), get("repeat")};
    }
};

class EngineFixture
{
public:
    EngineFixture();

    // Runs steps separated by ";":
    //   send, label N (1-based), crc, mode, repeat       the user's actions
    //   accept, arrive HEX, close, reset, gone           the peer's: arrive, close and
    //                                                    reset go to the link of the mode
    //   wait MS (fractions allowed), next, idle          the clock
    //   set NAME=VALUE                                   a field typed; "baud" and "open"
    //                                                    (a LinkError name) set the serial
    //                                                    port's speed and what opening it reports
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
