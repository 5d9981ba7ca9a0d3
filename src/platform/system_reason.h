#pragma once

#include <QString>
#include <cstring>

namespace tallowick {

// An errno value in the system's own words, as every message quotes it.
inline QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace tallowick
