#include "run/value_refusal.h"

#include "engine/send_checks.h"

namespace tallowick {

namespace {

QString takes(const char *key, const char *option, const char *range, const QString &given)
{
    return QStringLiteral("%1 (%2) takes %3, not \"%4\"")
        .arg(QLatin1String(key), QLatin1String(option), QLatin1String(range), given);
}

// Each repeat field on its own, the others set to what the checks take, so
// that the engine's own rules say which one is at fault.
std::optional<QString> refusedRepeatField(const RepeatFields &given)
{
    const RepeatFields good{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1"),
                            QStringLiteral("1")};
    struct Field
    {
        QString RepeatFields::*member;
        const char *key;
        const char *option;
        const char *range;
    };
    static const Field fields[] = {
        {&RepeatFields::rCNT, "REPEAT_CNT", "--passes", "1 to 32767"},
        {&RepeatFields::repeat, "REPEAT", "--pause", "1 to 2147483647 ms"},
        {&RepeatFields::rpStart, "REPEAT_START", "--lines", "lines 1 to 15"},
        {&RepeatFields::rpStop, "REPEAT_STOP", "--lines", "lines 1 to 15"},
    };
    for (const Field &field : fields) {
        RepeatFields alone = good;
        alone.*field.member = given.*field.member;
        if (!repeatStartValid(alone))
            return takes(field.key, field.option, field.range, given.*field.member);
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> refusedValue(const ExchangeInputs &inputs, bool serialMode, bool singleSend)
{
    const int empty = checkNullMask(inputs.address(), inputs.port(), inputs.timeout());
    if (empty & 1)
        return QStringLiteral("IP (--tcp HOST:PORT) is empty");
    if (empty & 2)
        return takes("PORT", "--tcp HOST:PORT", "1 to 65535", inputs.port());
    if ((empty & 4) || !replyTimerInterval(inputs.timeout()))
        return takes("TIMEOUT", "--timeout", "1 to 2147483647 ms", inputs.timeout());
    if (!serialMode && !tcpPort(inputs.port()))
        return takes("PORT", "--tcp HOST:PORT", "1 to 65535", inputs.port());
    // A single Send's line comes from --send, which the options checked.
    if (singleSend)
        return std::nullopt;
    return refusedRepeatField(inputs.repeatFields());
}

} // namespace tallowick
