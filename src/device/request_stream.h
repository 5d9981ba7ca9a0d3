#pragma once

// RTU requests on a TCP stream. A stream has no silences to end a frame by,
// so each request is as long as its function's layout says; bytes with no
// layout (an unknown function, noise) are taken as they came, one request.

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace tallowick {

class RtuRequestStream
{
public:
    void feed(QByteArrayView bytes) { m_buffer += bytes; }
    // The next whole request; nothing while the one begun needs more bytes.
    std::optional<QByteArray> take();
    // The bytes of a request begun and not ended.
    const QByteArray &held() const { return m_buffer; }
    void clear() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
};

} // namespace tallowick
