#include "platform/descriptor_io.h"

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

DescriptorRead readWhatIsThere(int fd, const std::function<bool(QByteArrayView)> &take)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            if (!take(QByteArrayView(buffer, n)))
                return {};
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return {};
        return {true, n < 0 ? errno : 0};
    }
}

} // namespace tallowick
