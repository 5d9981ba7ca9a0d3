#pragma once

// The exchange engine on fake links and the manual clock, driven by short
// scripts of user actions and peer events.
#include "engine/exchange_engine.h"
#include "support/fake_link.h"
#include "support/manual_clock.h"
#include "support/scripted_dialogs.h"

#include <QStringList>
#include <array>

namespace tallowick::test {

// The settings as typed, readable by the engine and changeable by the test.
struct FakeInputs : ExchangeInputs
{
    QString sendCnt = QStringLiteral("1");
    std::array<QString, commandLineCount> cmd{QStringLiteral("010300000001")};
    bool crc = true;
    QString addressText = QStringLiteral("127.0.0.1");
    QString portText = QStringLiteral("502");
    QString timeoutText = QStringLiteral("1000");
    QString comSelectText = QStringLiteral("/dev/ttyFAKE0");
    QString configComText = QStringLiteral("9600,n,8,1");
    bool drop = false; // "間斷連線"
    RepeatFields repeat{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                        QStringLiteral("10")};

    QString lineNumber() const override { return sendCnt; }
    QString commandText(int line) const override { return cmd.at(line); }
    QString lineCaption(int line) const override
    {
        return QStringLiteral("CMD%1：").arg(line + 1);
    }
    bool appendCrc() const override { return crc; }
    QString address() const override { return addressText; }
    QString port() const override { return portText; }
    QString timeout() const override { return timeoutText; }
    QString comSelect() const override { return comSelectText; }
    QString configCom() const override { return configComText; }
    bool dropLinkAfterExchange() const override { return drop; }
    RepeatFields repeatFields() const override { return repeat; }

    // "sendCnt=2", "timeout=50", "cmd3=0103...", "rCNT=0.5", "drop=1" ...
    void set(const QString &assignment);
};

class EngineFixture
{
public:
    EngineFixture();

    // Runs steps separated by ";":
    //   send, label N (1-based), crc, mode, repeat         the user's actions
    //   accept, arrive HEX, close, reset, gone              the peer's (arrive goes
    //                                                      to the link of the mode)
    //   wait MS (fractions allowed), next, idle             the clock
    //   set NAME=VALUE                                      a field typed
    void run(const QString &script);

    // Log entries, oldest first: the text, followed by "|n" when it ends in n
    // line breaks other than two; "¶" is an extra line break.
    QStringList log;
    QString status;
    QString lineNumberShown;
    int exchangesEnded = 0;

    ScriptedDialogs dialogs;
    FakeInputs in;
    ManualClock clock;
    FakeLink serial{FakeLink::Serial};
    FakeLink tcp{FakeLink::Tcp};
    ManualTimer *replyTimeout;
    ManualTimer *serialQuiet;
    ManualTimer *repeatPause;
    ExchangeEngine engine;
};

} // namespace tallowick::test
