#include "frames/exception_code.h"

#include <utility>

namespace tallowick {

QString exceptionName(quint8 code)
{
    static constexpr std::pair<quint8, const char *> names[] = {
        {1, "illegal function"},
        {2, "illegal data address"},
        {3, "illegal data value"},
        {4, "server device failure"},
        {5, "acknowledge"},
        {6, "server device busy"},
        {8, "memory parity error"},
        {10, "gateway path unavailable"},
        {11, "gateway target device failed to respond"},
    };
    for (const auto &[known, name] : names) {
        if (known == code)
            return QString::fromLatin1(name);
    }
    return QString();
}

} // namespace tallowick
