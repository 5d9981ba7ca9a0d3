#pragma once

// Which rule, if any, a request meets. Every rule watches every request on
// its own: a rule's counts (every=N, after=N) count the requests that meet
// its unit, fc and addr conditions, and its p=P draws come from a generator
// of its own, made from the seed and the rule's place in the list, so a run
// with the same seed and requests misbehaves the same way, and a rule added
// at the end leaves the choices of those before it as they were. A rule
// fires when the request meets its unit, fc and addr, is past its first
// `after` such requests, is the Nth of those after them for every=N, wins its
// p=P draw (made only then) and has been applied fewer than count=N times.
// When several rules fire at once, the first given is applied; the others
// fired in vain (count=N counts the times a rule was applied).

#include "device/answers.h"
#include "device/fault_rule.h"

#include <optional>
#include <random>
#include <vector>

namespace tallowick {

struct FaultRequest
{
    quint8 unit = 0;
    quint8 function = 0;
    std::vector<AddressSpan> addresses;
};

class FaultRules
{
public:
    FaultRules(std::vector<FaultRule> rules, quint64 seed);

    // The index of the rule applied to this request.
    std::optional<std::size_t> pick(const FaultRequest &request);

    const std::vector<FaultRule> &rules() const { return m_rules; }
    quint64 applied(std::size_t rule) const { return m_state[rule].applied; }

private:
    struct State
    {
        quint64 met = 0; // requests that met the rule's unit, fc and addr
        quint64 applied = 0;
        std::mt19937_64 random;
    };
    bool fires(std::size_t index, const FaultRequest &request);

    std::vector<FaultRule> m_rules;
    std::vector<State> m_state;
};

} // namespace tallowick
