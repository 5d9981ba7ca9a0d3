#pragma once

#include <QByteArrayView>

namespace tallowick {

// What a write to a descriptor came to: how many bytes it took, and what
// stopped it: 0 when it took them all, EAGAIN when it is full for now (a
// non-blocking descriptor), else the system's error, ENOSPC for a write that
// took nothing and said nothing (a full device).
struct DescriptorWrite
{
    qsizetype written = 0;
    int error = 0;
};

// Writes as much of the bytes as the descriptor takes now, again after a
// signal interrupted it.
DescriptorWrite writeWhatFits(int fd, QByteArrayView bytes);

} // namespace tallowick
