#pragma once

#include "engine/exchange_inputs.h"

#include <QString>
#include <optional>

namespace tallowick {

// The first value of a run that the engine's checks refuse, named by the
// file's key and the option that replaces it, with the range it takes:
// "REPEAT_CNT (--passes) takes 1 to 32767, not "0"". Nothing when every value
// a Send of this kind reads passes.
std::optional<QString> refusedValue(const ExchangeInputs &inputs, bool serialMode, bool singleSend);

} // namespace tallowick
