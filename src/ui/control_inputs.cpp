#include "ui/control_inputs.h"

#include "ui/controls.h"
#include "ui/log_box.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace tallowick {

QString ControlInputs::lineNumber() const
{
    return m_ui.sendCnt->text();
}

QString ControlInputs::commandText(int line) const
{
    return m_ui.cmd[line]->text();
}

QString ControlInputs::lineCaption(int line) const
{
    return m_ui.Label7[line]->text();
}

bool ControlInputs::appendCrc() const
{
    return m_ui.crcEN->isChecked();
}

QString ControlInputs::address() const
{
    return m_ui.address->text();
}

QString ControlInputs::port() const
{
    return m_ui.port->text();
}

QString ControlInputs::timeout() const
{
    return m_ui.timeout->text();
}

QString ControlInputs::comSelect() const
{
    return m_ui.comSelect->text();
}

QString ControlInputs::configCom() const
{
    return m_ui.configCOM->text();
}

bool ControlInputs::dropLinkAfterExchange() const
{
    return m_ui.connect[0]->isChecked();
}

RepeatFields ControlInputs::repeatFields() const
{
    return {m_ui.rCNT->text(), m_ui.rpStart->text(), m_ui.rpStop->text(), m_ui.repeat->text()};
}

} // namespace tallowick
