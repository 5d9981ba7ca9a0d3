#pragma once

#include <QString>

namespace tallowick {

// The name the Modbus application protocol gives an exception code
// ("illegal data address"), or an empty text for a code it does not name.
QString exceptionName(quint8 code);

} // namespace tallowick
