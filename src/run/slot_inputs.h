#pragma once

#include "engine/exchange_inputs.h"
#include "run/run_options.h"

#include <QStringList>

namespace tallowick {

// The values of a configuration file as the engine reads them, each one
// replaced by its command-line option where one was given. A run cannot change
// them, so they are merged once.
class SlotInputs : public ExchangeInputs
{
public:
    SlotInputs(const QStringList &fileValues, const RunOptions &options);

    QString value(ConfigValue which) const override { return m_values.value(which); }
    QString lineCaption(int line) const override;
    LinkChoices linkChoices() const override { return m_link; }

private:
    QStringList m_values;
    LinkChoices m_link;
};

} // namespace tallowick
