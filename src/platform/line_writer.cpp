#include "platform/line_writer.h"

#include <QByteArray>

#include <cerrno>

namespace tallowick {

namespace {

std::optional<OutputFault> firstLost;

} // namespace

void writeUtf8(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    errno = 0;
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    if ((std::fflush(stream) == 0 && written) || firstLost)
        return;
    // A write that takes nothing and says nothing is a full device.
    firstLost =
        OutputFault::ofError(OutputFile::standardErrorName.toString(), errno != 0 ? errno : ENOSPC);
}

std::optional<OutputFault> lostMessage()
{
    return firstLost;
}

} // namespace tallowick
