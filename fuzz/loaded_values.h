#pragma once

#include "config/config_format.h"
#include "fuzz_check.h"

#include <QStringList>

namespace fuzz {

// The values the loader gives for a file: always all of them, each a single
// line that fits the read buffer.
inline QStringList loadedValues(const QByteArray &file, int codePage)
{
    const QStringList values = tallowick::configValuesFromFile(file, codePage);
    FUZZ_CHECK(values.size() == tallowick::configValueCount);
    for (const QString &value : values) {
        FUZZ_CHECK(!value.contains(QChar(0)) && !value.contains(u'\r') && !value.contains(u'\n'));
        // The read buffer holds 255 bytes; even a value whose bytes became "?"
        // has no more characters than that.
        FUZZ_CHECK(value.size() < tallowick::valueBufferSize);
    }
    return values;
}

} // namespace fuzz
