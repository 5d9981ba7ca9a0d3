#pragma once

#include "engine/exchange_inputs.h"
#include "run/run_options.h"

#include <QStringList>

namespace tallowick {

// The settings of a configuration file as the engine reads them, each one
// replaced by its command-line option where one was given.
class SlotInputs : public ExchangeInputs
{
public:
    SlotInputs(const QStringList &values, const RunOptions &options);

    QString lineNumber() const override;
    QString commandText(int line) const override;
    QString lineCaption(int line) const override;
    bool appendCrc() const override;
    QString address() const override;
    QString port() const override;
    QString timeout() const override;
    QString comSelect() const override;
    QString configCom() const override;
    bool dropLinkAfterExchange() const override;
    RepeatFields repeatFields() const override;

private:
    QString value(int index, const std::optional<QString> &given) const;

    QStringList m_values;
    RunOptions m_options;
};

} // namespace tallowick
