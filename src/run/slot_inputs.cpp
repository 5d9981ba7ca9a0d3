#include "run/slot_inputs.h"

namespace tallowick {

SlotInputs::SlotInputs(const QStringList &fileValues, const RunOptions &options)
    : m_values(fileValues)
{
    while (m_values.size() < configValueCount)
        m_values.append(QString());
    for (const auto &[which, given] : options.values)
        m_values[which] = given;
    // Modbus TCP carries no CRC.
    m_link.appendCrc = options.appendCrc && !options.mbap;
    m_link.comSelect = options.serialPort.value_or(QString());
    m_link.configCom = options.serialSettings;
    m_link.dropLinkAfterExchange = !options.keepLink;
    m_link.goOnAfterLinkFault = options.keepGoing;
}

QString SlotInputs::lineCaption(int line) const
{
    return QStringLiteral("CMD%1：").arg(line + 1);
}

} // namespace tallowick
