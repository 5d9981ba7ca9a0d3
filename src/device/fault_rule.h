#pragma once

// A rule by which the device misbehaves on purpose: ACTION[@CONDITIONS].
//
// Actions: delay=MS, exception=CC, silent, crc, truncate=N, wrong-unit,
// wrong-function, extra=HEX, gap=MS:K, tid, close.
// Conditions, separated by commas, each list's items by "/": unit=1/5-7,
// fc=03/04 (hexadecimal, as Modbus writes function codes), addr=100-109 (the
// request touches one of them), every=N, p=P, after=N, count=N.
//
//   crc@every=10                 every tenth reply with a wrong CRC
//   exception=04@fc=03,addr=100-109
//   delay=250@p=0.1

#include "device/text_forms.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <chrono>
#include <optional>
#include <variant>
#include <vector>

namespace tallowick {

struct FaultAction
{
    enum Kind {
        Delay,
        Exception,
        Silent,
        Crc,
        Truncate,
        WrongUnit,
        WrongFunction,
        Extra,
        Gap,
        Tid,
        Close
    };
    Kind kind = Silent;
    std::chrono::milliseconds delay{0}; // delay=MS, and the silence of gap=MS:K
    quint8 exceptionCode = 0;           // exception=CC
    int bytes = 0;                      // truncate=N: the bytes sent; gap=MS:K: K, before it
    QByteArray extra;                   // extra=HEX
    bool operator==(const FaultAction &) const = default;
};

struct FaultRule
{
    QString text; // as given, for the records
    FaultAction action;
    // Empty: any unit, function, place.
    std::vector<NumberSpan> units;
    std::vector<NumberSpan> functions;
    std::vector<NumberSpan> addresses;
    quint64 every = 1;
    std::optional<double> probability;
    quint64 after = 0;
    std::optional<quint64> count;
};

// The rule, or why it was refused ("...: \"evry\" is not a condition (...)").
std::variant<FaultRule, QString> parseFaultRule(QStringView text);

} // namespace tallowick
