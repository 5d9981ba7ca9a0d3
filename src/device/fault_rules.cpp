#include "device/fault_rules.h"

#include <algorithm>

namespace tallowick {

namespace {

bool within(const std::vector<NumberSpan> &spans, int value)
{
    return spans.empty() || std::any_of(spans.begin(), spans.end(), [value](const NumberSpan &s) {
               return value >= s.first && value <= s.last;
           });
}

bool touches(const std::vector<NumberSpan> &spans, const std::vector<AddressSpan> &addresses)
{
    if (spans.empty())
        return true;
    for (const AddressSpan &request : addresses) {
        const int last = request.first + request.count - 1;
        for (const NumberSpan &span : spans) {
            if (request.count > 0 && request.first <= span.last && last >= span.first)
                return true;
        }
    }
    return false;
}

// A draw in [0, 1) from the top 53 bits, the same on every platform (the
// standard's distributions are not).
double draw(std::mt19937_64 &random)
{
    return double(random() >> 11) * 0x1.0p-53;
}

} // namespace

FaultRules::FaultRules(std::vector<FaultRule> rules, quint64 seed) : m_rules(std::move(rules))
{
    m_state.resize(m_rules.size());
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        std::seed_seq sequence{quint32(seed), quint32(seed >> 32), quint32(i)};
        m_state[i].random.seed(sequence);
    }
}

bool FaultRules::fires(std::size_t index, const FaultRequest &request)
{
    const FaultRule &rule = m_rules[index];
    State &state = m_state[index];
    if (!within(rule.units, request.unit) || !within(rule.functions, request.function) ||
        !touches(rule.addresses, request.addresses))
        return false;
    ++state.met;
    if (state.met <= rule.after || (state.met - rule.after) % rule.every != 0)
        return false;
    if (rule.count && state.applied >= *rule.count)
        return false;
    return !rule.probability || draw(state.random) < *rule.probability;
}

std::optional<std::size_t> FaultRules::pick(const FaultRequest &request)
{
    std::optional<std::size_t> chosen;
    for (std::size_t i = 0; i < m_rules.size(); ++i) {
        if (fires(i, request) && !chosen)
            chosen = i;
    }
    if (chosen)
        ++m_state[*chosen].applied;
    return chosen;
}

} // namespace tallowick
