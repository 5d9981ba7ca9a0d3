#include "log/json_line.h"

#include "frames/frame_text.h"

#include <charconv>

namespace tallowick {

JsonLine::JsonLine() : m_json("{")
{
    // A record of an exchange or a frame fits without growing.
    m_json.reserve(256);
}

void JsonLine::key(const char *name)
{
    if (m_json.size() > 1)
        m_json += ',';
    m_json += '"';
    m_json += name;
    m_json += "\":";
}

JsonLine &JsonLine::number(const char *name, qint64 value)
{
    key(name);
    char digits[24];
    m_json.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    return *this;
}

JsonLine &JsonLine::number(const char *name, std::optional<qint64> value)
{
    if (value)
        return number(name, *value);
    key(name);
    m_json += "null";
    return *this;
}

JsonLine &JsonLine::boolean(const char *name, bool value)
{
    key(name);
    m_json += value ? "true" : "false";
    return *this;
}

JsonLine &JsonLine::text(const char *name, QStringView value)
{
    key(name);
    m_json += '"';
    for (const char c : value.toUtf8()) {
        if (c == '"' || c == '\\') {
            m_json += '\\';
            m_json += c;
        } else if (quint8(c) < 0x20) {
            static constexpr char digits[] = "0123456789abcdef";
            m_json += "\\u00";
            m_json += digits[quint8(c) >> 4];
            m_json += digits[quint8(c) & 15];
        } else {
            m_json += c;
        }
    }
    m_json += '"';
    return *this;
}

JsonLine &JsonLine::bytes(const char *name, QByteArrayView frame)
{
    key(name);
    m_json += '"';
    appendHex(m_json, frame);
    m_json += '"';
    return *this;
}

JsonLine &JsonLine::bytesOrNull(const char *name, const std::optional<QByteArray> &frame)
{
    if (frame)
        return bytes(name, QByteArrayView(*frame));
    key(name);
    m_json += "null";
    return *this;
}

JsonLine &JsonLine::responseTimes(const char *name, const ResponseTimes &times)
{
    if (times.count() == 0)
        return number(name, std::nullopt);
    JsonLine figures;
    const char *const names[] = {"min", "median", "p99", "max"};
    const auto values = times.summaryFigures();
    for (std::size_t i = 0; i < values.size(); ++i)
        figures.number(names[i], qint64(values[i].count()));
    return object(name, figures);
}

JsonLine &JsonLine::object(const char *name, const JsonLine &inner)
{
    key(name);
    m_json += inner.closed();
    return *this;
}

} // namespace tallowick
