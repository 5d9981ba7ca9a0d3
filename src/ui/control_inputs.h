#pragma once

#include "engine/exchange_inputs.h"

#include <array>

class QLineEdit;

namespace tallowick {

struct Controls;

// The exchange engine's inputs, read from the main window's boxes as they
// stand at the moment the engine asks.
class ControlInputs : public ExchangeInputs
{
public:
    ControlInputs(const Controls &ui, const std::array<QLineEdit *, configValueCount> &boxes)
        : m_ui(ui), m_boxes(boxes)
    {
    }

    QString value(ConfigValue which) const override;
    QString lineCaption(int line) const override;
    LinkChoices linkChoices() const override;

private:
    const Controls &m_ui;
    std::array<QLineEdit *, configValueCount> m_boxes;
};

} // namespace tallowick
