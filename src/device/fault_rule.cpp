#include "device/fault_rule.h"

#include "device/text_forms.h"

#include <QStringList>
#include <charconv>
#include <limits>
#include <string>

namespace tallowick {

namespace {

using Refusal = QString;

std::optional<quint64> decimal(QStringView text, quint64 least, quint64 most)
{
    const auto n = decimalNumber(text, most);
    if (!n || *n < least)
        return std::nullopt;
    return n;
}

// One or two hexadecimal digits, as Modbus writes a code.
std::optional<quint64> hexadecimal(QStringView text)
{
    if (text.isEmpty() || text.size() > 2)
        return std::nullopt;
    quint64 n = 0;
    for (QChar c : text) {
        if (hexDigit(c) < 0)
            return std::nullopt;
        n = n << 4 | quint64(hexDigit(c));
    }
    return n;
}

std::variant<FaultAction, Refusal> parseAction(QStringView text)
{
    const qsizetype equals = text.indexOf(u'=');
    const QStringView name = equals < 0 ? text : text.first(equals);
    const QStringView value = equals < 0 ? QStringView() : text.sliced(equals + 1);
    struct Plain
    {
        const char16_t *name;
        FaultAction::Kind kind;
    };
    static constexpr Plain plain[] = {{u"silent", FaultAction::Silent},
                                      {u"crc", FaultAction::Crc},
                                      {u"wrong-unit", FaultAction::WrongUnit},
                                      {u"wrong-function", FaultAction::WrongFunction},
                                      {u"tid", FaultAction::Tid},
                                      {u"close", FaultAction::Close}};
    for (const Plain &action : plain) {
        if (name == QStringView(action.name)) {
            if (equals >= 0)
                return QStringLiteral("%1 takes no value").arg(name);
            FaultAction plainAction;
            plainAction.kind = action.kind;
            return plainAction;
        }
    }
    constexpr quint64 longestDelay = 3'600'000; // an hour: longer is a mistake, not a test
    FaultAction action;
    if (name == u"delay") {
        const auto ms = decimal(value, 0, longestDelay);
        if (!ms)
            return QStringLiteral("delay=MS takes 0 to %1 ms, not \"%2\"")
                .arg(longestDelay)
                .arg(value);
        action.kind = FaultAction::Delay;
        action.delay = std::chrono::milliseconds(*ms);
    } else if (name == u"exception") {
        const auto code = value.size() == 2 ? hexadecimal(value) : std::nullopt;
        if (!code || *code == 0)
            return QStringLiteral("exception=CC takes two hexadecimal digits, 01 to FF, not \"%1\"")
                .arg(value);
        action.kind = FaultAction::Exception;
        action.exceptionCode = quint8(*code);
    } else if (name == u"truncate") {
        // No frame is longer than 260 bytes; 0 would be silent.
        const auto n = decimal(value, 1, 259);
        if (!n)
            return QStringLiteral("truncate=N takes 1 to 259 bytes, not \"%1\"").arg(value);
        action.kind = FaultAction::Truncate;
        action.bytes = int(*n);
    } else if (name == u"extra") {
        const auto bytes = hexBytes(value);
        if (!bytes || bytes->isEmpty() || bytes->size() > 256)
            return QStringLiteral("extra=HEX takes 1 to 256 bytes in hexadecimal, not \"%1\"")
                .arg(value);
        action.kind = FaultAction::Extra;
        action.extra = *bytes;
    } else if (name == u"gap") {
        const qsizetype colon = value.indexOf(u':');
        const auto ms = colon < 0 ? std::nullopt : decimal(value.first(colon), 1, longestDelay);
        const auto k = colon < 0 ? std::nullopt : decimal(value.sliced(colon + 1), 1, 259);
        if (!ms || !k)
            return QStringLiteral("gap=MS:K takes a silence of 1 to %1 ms after byte K (1 to 259), "
                                  "not \"%2\"")
                .arg(longestDelay)
                .arg(value);
        action.kind = FaultAction::Gap;
        action.delay = std::chrono::milliseconds(*ms);
        action.bytes = int(*k);
    } else {
        return QStringLiteral("\"%1\" is not an action (delay=MS, exception=CC, silent, crc, "
                              "truncate=N, wrong-unit, wrong-function, extra=HEX, gap=MS:K, tid, "
                              "close)")
            .arg(name);
    }
    return action;
}

std::optional<Refusal> parseCondition(QStringView text, FaultRule &rule, QStringList &seen)
{
    const qsizetype equals = text.indexOf(u'=');
    const QStringView name = equals < 0 ? text : text.first(equals);
    const QStringView value = equals < 0 ? QStringView() : text.sliced(equals + 1);
    static const QStringList names{QStringLiteral("unit"), QStringLiteral("fc"),
                                   QStringLiteral("addr"), QStringLiteral("every"),
                                   QStringLiteral("p"),    QStringLiteral("after"),
                                   QStringLiteral("count")};
    if (!names.contains(name))
        return QStringLiteral("\"%1\" is not a condition (unit, fc, addr, every, p, after, count)")
            .arg(name);
    if (seen.contains(name))
        return QStringLiteral("%1 given twice").arg(name);
    seen << name.toString();
    constexpr quint64 most = std::numeric_limits<quint64>::max();
    const auto number = [](quint64 least, quint64 high) {
        return [least, high](QStringView item) { return decimal(item, least, high); };
    };
    if (name == u"unit") {
        const auto list = numberSpans(value, u'/', number(0, 255));
        if (!list)
            return QStringLiteral("unit= takes unit ids 0 to 255 and ranges, separated by /, not "
                                  "\"%1\"")
                .arg(value);
        rule.units = *list;
    } else if (name == u"fc") {
        const auto list =
            numberSpans(value, u'/', [](QStringView item) { return hexadecimal(item); });
        if (!list)
            return QStringLiteral("fc= takes function codes in hexadecimal (03, 10) and ranges, "
                                  "separated by /, not \"%1\"")
                .arg(value);
        rule.functions = *list;
    } else if (name == u"addr") {
        const auto list = numberSpans(value, u'/', number(0, 65535));
        if (!list)
            return QStringLiteral("addr= takes addresses 0 to 65535 and ranges, separated by /, "
                                  "not \"%1\"")
                .arg(value);
        rule.addresses = *list;
    } else if (name == u"every") {
        const auto n = decimal(value, 1, most);
        if (!n)
            return QStringLiteral("every=N takes a whole number from 1, not \"%1\"").arg(value);
        rule.every = *n;
    } else if (name == u"after" || name == u"count") {
        const auto n = decimal(value, name == u"after" ? 0 : 1, most);
        if (!n)
            return QStringLiteral("%1=N takes a whole number from %2, not \"%3\"")
                .arg(name)
                .arg(name == u"after" ? 0 : 1)
                .arg(value);
        (name == u"after" ? rule.after : rule.count.emplace()) = *n;
    } else {
        const std::string digits = value.toString().toStdString();
        double p = 0;
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), p,
                                            std::chars_format::fixed);
        if (digits.empty() || result.ec != std::errc() ||
            result.ptr != digits.data() + digits.size() || !(p > 0 && p <= 1))
            return QStringLiteral("p=P takes a probability above 0, at most 1, not \"%1\"")
                .arg(value);
        rule.probability = p;
    }
    return std::nullopt;
}

} // namespace

std::variant<FaultRule, QString> parseFaultRule(QStringView text)
{
    const auto refused = [text](const QString &reason) {
        return QStringLiteral("\"%1\": %2").arg(text, reason);
    };
    const qsizetype at = text.indexOf(u'@');
    auto action = parseAction(at < 0 ? text : text.first(at));
    if (const auto *reason = std::get_if<Refusal>(&action))
        return refused(*reason);
    FaultRule rule;
    rule.text = text.toString();
    rule.action = std::get<FaultAction>(action);
    if (at < 0)
        return rule;
    QStringList seen;
    for (QStringView condition : text.sliced(at + 1).split(u',')) {
        if (const auto reason = parseCondition(condition, rule, seen))
            return refused(*reason);
    }
    return rule;
}

} // namespace tallowick
