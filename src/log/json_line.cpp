#include "log/json_line.h"

#include "frames/frame_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace tallowick {

// A soak writes one of these an exchange: written through a cursor into one
// buffer, grown when a piece would not fit, rather than appended piece by
// piece (each append costs the container's checks, five times the line).
JsonLine::JsonLine() : m_json(256, Qt::Uninitialized), m_used(1)
{
    m_json[0] = '{';
}

char *JsonLine::room(qsizetype bytes)
{
    if (m_json.size() - m_used < bytes)
        m_json.resize(std::max(2 * m_json.size(), m_used + bytes));
    char *at = m_json.data() + m_used;
    m_used += bytes;
    return at;
}

void JsonLine::put(std::string_view text)
{
    std::memcpy(room(qsizetype(text.size())), text.data(), text.size());
}

void JsonLine::key(const char *name)
{
    const std::string_view text(name);
    const bool first = m_used == 1;
    char *at = room(qsizetype(text.size()) + (first ? 3 : 4));
    if (!first)
        *at++ = ',';
    *at++ = '"';
    at = std::copy(text.begin(), text.end(), at);
    *at++ = '"';
    *at = ':';
}

JsonLine &JsonLine::number(const char *name, qint64 value)
{
    key(name);
    char digits[24];
    put(std::string_view(digits,
                         std::to_chars(digits, digits + sizeof digits, value).ptr - digits));
    return *this;
}

JsonLine &JsonLine::number(const char *name, std::optional<qint64> value)
{
    if (value)
        return number(name, *value);
    key(name);
    put("null");
    return *this;
}

JsonLine &JsonLine::boolean(const char *name, bool value)
{
    key(name);
    put(value ? "true" : "false");
    return *this;
}

JsonLine &JsonLine::text(const char *name, QStringView value)
{
    key(name);
    putString(value);
    return *this;
}

JsonLine &JsonLine::number(QStringView name, qint64 value)
{
    put(m_used == 1 ? "" : ",");
    putString(name);
    put(":");
    char digits[24];
    put(std::string_view(digits,
                         std::to_chars(digits, digits + sizeof digits, value).ptr - digits));
    return *this;
}

void JsonLine::putString(QStringView value)
{
    put("\"");
    // A record's texts (its time, its result) are printable ASCII: copied as
    // they are.
    if (std::all_of(value.begin(), value.end(), [](QChar c) {
            return c.unicode() >= 0x20 && c.unicode() < 0x80 && c != u'"' && c != u'\\';
        })) {
        std::transform(value.begin(), value.end(), room(value.size()),
                       [](QChar c) { return char(c.unicode()); });
    } else {
        for (const char c : value.toUtf8()) {
            if (c == '"' || c == '\\') {
                const char pair[] = {'\\', c};
                put(std::string_view(pair, 2));
            } else if (quint8(c) < 0x20) {
                static constexpr char digits[] = "0123456789abcdef";
                const char escape[] = {
                    '\\', 'u', '0', '0', digits[quint8(c) >> 4], digits[quint8(c) & 15]};
                put(std::string_view(escape, sizeof escape));
            } else {
                put(std::string_view(&c, 1));
            }
        }
    }
    put("\"");
}

JsonLine &JsonLine::bytes(const char *name, QByteArrayView frame)
{
    key(name);
    put("\"");
    writeHex(room(2 * frame.size()), frame);
    put("\"");
    return *this;
}

JsonLine &JsonLine::bytesOrNull(const char *name, const std::optional<QByteArray> &frame)
{
    if (frame)
        return bytes(name, QByteArrayView(*frame));
    key(name);
    put("null");
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
    const QByteArray closed = inner.closed();
    put(std::string_view(closed.constData(), std::size_t(closed.size())));
    return *this;
}

QByteArray JsonLine::closed() const
{
    return m_json.left(m_used) + '}';
}

QByteArray JsonLine::line()
{
    put("}\n");
    m_json.truncate(m_used);
    return std::move(m_json);
}

} // namespace tallowick
