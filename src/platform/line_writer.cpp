#include "platform/line_writer.h"

#include <QByteArray>

namespace tallowick {

void writeUtf8(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace tallowick
