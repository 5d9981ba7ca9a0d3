// The --fault rules on any text: a refusal quotes the rule and says why; a
// rule taken keeps its text and values in their ranges, picks requests
// without failing, and changes a reply's bytes only as its action says.
#include "device/fault_bytes.h"
#include "device/fault_rules.h"
#include "fuzz_check.h"

using namespace tallowick;

namespace {

bool ordered(const std::vector<NumberSpan> &spans, int most)
{
    for (const NumberSpan &span : spans) {
        if (span.first < 0 || span.first > span.last || span.last > most)
            return false;
    }
    return true;
}

void check(const QString &text)
{
    const auto parsed = parseFaultRule(text);
    if (const auto *refusal = std::get_if<QString>(&parsed)) {
        FUZZ_CHECK(refusal->startsWith(u'"' + text + QStringLiteral("\": ")));
        return;
    }
    const FaultRule &rule = std::get<FaultRule>(parsed);
    FUZZ_CHECK(rule.text == text);
    FUZZ_CHECK(rule.every >= 1 && (!rule.count || *rule.count >= 1));
    FUZZ_CHECK(!rule.probability || (*rule.probability > 0 && *rule.probability <= 1));
    FUZZ_CHECK(ordered(rule.units, 255) && ordered(rule.functions, 255) &&
               ordered(rule.addresses, 65535));

    FaultRules rules({rule}, 7);
    for (int unit : {0, 1, 255})
        rules.pick({quint8(unit), 0x03, {{100, 10}}});
    FUZZ_CHECK(rules.applied(0) <= 3);

    const QByteArray rtu = QByteArray::fromHex("01030200057847");
    const QByteArray tcp = QByteArray::fromHex("0001000000050103020005");
    for (const QByteArray &frame : {rtu, tcp}) {
        const ReplyFraming framing = frame == rtu ? ReplyFraming::Rtu : ReplyFraming::Mbap;
        const QByteArray sent = appliedToFrame(rule.action, framing, frame);
        switch (rule.action.kind) {
        case FaultAction::Truncate:
            FUZZ_CHECK(sent == frame.first(qMin(frame.size(), qsizetype(rule.action.bytes))));
            break;
        case FaultAction::Extra:
            FUZZ_CHECK(sent == frame + rule.action.extra && !rule.action.extra.isEmpty());
            break;
        default:
            FUZZ_CHECK(sent.size() == frame.size());
            FUZZ_CHECK((sent != frame) == changesBytes(rule.action.kind, framing));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    check(fuzz::utf8Text(data, size));
    check(fuzz::utf16Text(data, size));
    return 0;
}
