#include "platform/atomic_save.h"

#include <QSaveFile>

#include <algorithm>

namespace tallowick {

std::optional<FileError> saveAtomically(const QString &path, const QList<QByteArray> &pieces)
{
    QSaveFile file(path);
    const auto written = [&file](const QByteArray &piece) {
        return file.write(piece) == piece.size();
    };
    // flush() reports a failure to write out the buffer (a full disk), which
    // commit() would not: it would rename a short file over the old one.
    if (file.open(QIODevice::WriteOnly) && std::all_of(pieces.begin(), pieces.end(), written) &&
        file.flush() && file.commit())
        return std::nullopt;
    FileError error{file.errorString()};
    file.cancelWriting();
    return error;
}

} // namespace tallowick
