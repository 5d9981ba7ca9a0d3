#pragma once

#include "engine/exchange_inputs.h"

namespace tallowick {

struct Controls;

// The exchange engine's inputs, read from the main window's boxes as they
// stand at the moment the engine asks.
class ControlInputs : public ExchangeInputs
{
public:
    explicit ControlInputs(const Controls &ui) : m_ui(ui) {}

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
    const Controls &m_ui;
};

} // namespace tallowick
