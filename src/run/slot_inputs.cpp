#include "run/slot_inputs.h"

#include "config/config_format.h"

namespace tallowick {

SlotInputs::SlotInputs(const QStringList &values, const RunOptions &options)
    : m_values(values), m_options(options)
{
}

QString SlotInputs::value(int index, const std::optional<QString> &given) const
{
    return given ? *given : m_values.value(index);
}

QString SlotInputs::lineNumber() const
{
    return value(LineNumberValue, m_options.sendLine);
}

QString SlotInputs::commandText(int line) const
{
    return m_values.value(FirstCommandValue + line);
}

QString SlotInputs::lineCaption(int line) const
{
    return QStringLiteral("CMD%1：").arg(line + 1);
}

bool SlotInputs::appendCrc() const
{
    return m_options.appendCrc;
}

QString SlotInputs::address() const
{
    return value(AddressValue, m_options.address);
}

QString SlotInputs::port() const
{
    return value(PortValue, m_options.port);
}

QString SlotInputs::timeout() const
{
    return value(TimeoutValue, m_options.timeout);
}

QString SlotInputs::comSelect() const
{
    return m_options.serialPort.value_or(QString());
}

QString SlotInputs::configCom() const
{
    return m_options.serialSettings;
}

bool SlotInputs::dropLinkAfterExchange() const
{
    return !m_options.keepLink;
}

RepeatFields SlotInputs::repeatFields() const
{
    return {value(PassesValue, m_options.passes), value(FirstLineValue, m_options.firstLine),
            value(LastLineValue, m_options.lastLine), value(PauseValue, m_options.pause)};
}

} // namespace tallowick
