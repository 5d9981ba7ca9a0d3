#include "ui/control_inputs.h"

#include "ui/controls.h"
#include "ui/log_box.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace tallowick {

QString ControlInputs::value(ConfigValue which) const
{
    return m_boxes[which]->text();
}

QString ControlInputs::lineCaption(int line) const
{
    return m_ui.Label7[line]->text();
}

LinkChoices ControlInputs::linkChoices() const
{
    return {m_ui.crcEN->isChecked(), m_ui.comSelect->text(), m_ui.configCOM->text(),
            m_ui.connect[0]->isChecked()};
}

} // namespace tallowick
