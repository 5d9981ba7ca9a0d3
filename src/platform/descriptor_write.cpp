#include "platform/descriptor_write.h"

#include <cerrno>
#include <unistd.h>

namespace tallowick {

DescriptorWrite writeWhatFits(int fd, QByteArrayView bytes)
{
    DescriptorWrite result;
    while (result.written < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.data() + result.written, std::size_t(bytes.size() - result.written));
        if (n > 0) {
            result.written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        result.error = n == 0 ? ENOSPC : errno == EWOULDBLOCK ? EAGAIN : errno;
        break;
    }
    return result;
}

} // namespace tallowick
