#pragma once

#include <QByteArrayView>
#include <functional>

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

// Reads what a non-blocking descriptor holds now, each read handed to `take`
// as it comes (false from it: read no more now), again after a signal.
// The descriptor is gone when it came to its end (error 0) or failed.
struct DescriptorRead
{
    bool gone = false;
    int error = 0;
};
DescriptorRead readWhatIsThere(int fd, const std::function<bool(QByteArrayView)> &take);

} // namespace tallowick
