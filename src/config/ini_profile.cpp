#include "config/ini_profile.h"

#include <QVarLengthArray>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace tallowick {

namespace {

const QByteArray utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");
// A line's ending is one of these, shared rather than copied out of the file.
const QByteArray crLf = QByteArrayLiteral("\r\n");
const QByteArray lf = QByteArrayLiteral("\n");
const QByteArray cr = QByteArrayLiteral("\r");
const QByteArray noEnding;

const QByteArray &endingOf(QByteArrayView ending)
{
    if (ending.size() == 2)
        return crLf;
    if (ending.isEmpty())
        return noEnding;
    return ending.front() == '\r' ? cr : lf;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// FNV-1a over the name with ASCII letters folded, so that names that differ
// in letter case alone hash alike.
std::size_t foldedHash(QByteArrayView name)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : name) {
        hash ^= std::uint8_t(asciiLower(c));
        hash *= 16777619u;
    }
    return hash;
}

// Only ASCII letters fold: the other bytes may be halves of double-byte characters.
bool sameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// The line "key=value" as written. A line break inside the value would start a
// line of its own; it becomes a blank. A NUL ends the value, as it ends the
// text the Windows functions see.
QByteArray keyLine(QByteArrayView key, QByteArrayView value)
{
    if (const qsizetype nul = value.indexOf('\0'); nul >= 0)
        value.truncate(nul);
    QByteArray text;
    text.reserve(key.size() + 1 + value.size());
    text.append(key).append('=');
    const qsizetype valueBegin = text.size();
    text.append(value);
    for (char *c = text.data() + valueBegin, *end = text.data() + text.size(); c != end; ++c) {
        if (*c == '\r' || *c == '\n')
            *c = ' ';
    }
    return text;
}

} // namespace

IniProfile::IniProfile(const QByteArray &bytes)
    // The lines of the file are views of one copy of it, rather than a copy
    // each; a line gets text of its own when a value changes. The copy is the
    // profile's own, whatever buffer the caller's bytes live in.
    : m_source(bytes.constData(), bytes.size())
{
    qsizetype pos = 0;
    if (bytes.startsWith(utf8Bom)) {
        m_bom = utf8Bom;
        pos = utf8Bom.size();
    }
    const qsizetype size = bytes.size();
    m_lines.reserve(std::size_t(bytes.count('\n') + bytes.count('\r') + 1));
    // Line breaks are found by memchr rather than byte by byte; the next CR and
    // the next LF are each looked for again only once a line has passed them.
    const char *data = bytes.constData();
    auto nextOf = [data, size](char c, qsizetype from) {
        const void *at = std::memchr(data + from, c, std::size_t(size - from));
        return at ? static_cast<const char *>(at) - data : size;
    };
    qsizetype nextCr = -1;
    qsizetype nextLf = -1;
    while (pos < size) {
        if (nextCr < pos)
            nextCr = nextOf('\r', pos);
        if (nextLf < pos)
            nextLf = nextOf('\n', pos);
        const qsizetype end = std::min(nextCr, nextLf);
        qsizetype next = end;
        if (next < size && data[next] == '\r')
            ++next;
        if (next < size && data[next] == '\n')
            ++next;
        m_lines.push_back(parseLine(QByteArray::fromRawData(m_source.constData() + pos, end - pos),
                                    endingOf(bytes.sliced(end, next - end))));
        pos = next;
    }
}

IniProfile::Line IniProfile::parseLine(QByteArray text, QByteArray ending)
{
    Line line{std::move(text), std::move(ending)};
    // The name is kept as its place in the text, which holds it already.
    auto nameAt = [&line](QByteArrayView name) {
        line.nameBegin = name.isEmpty() ? 0 : name.data() - line.text.constData();
        line.nameSize = name.size();
    };
    const QByteArrayView content = trimmed(line.text);
    if (content.isEmpty() || content.front() == ';')
        return line;
    if (content.front() == '[') {
        const qsizetype close = content.lastIndexOf(']');
        if (close > 0) {
            line.kind = Kind::Section;
            nameAt(trimmed(content.sliced(1, close - 1)));
        }
        return line;
    }
    const qsizetype equals = content.indexOf('=');
    const QByteArrayView key = trimmed(equals >= 0 ? content.first(equals) : content);
    if (!key.isEmpty()) {
        line.kind = Kind::Key;
        nameAt(key);
    }
    return line;
}

std::vector<std::optional<std::size_t>>
IniProfile::keyLines(QByteArrayView section, const std::vector<QByteArrayView> &keys) const
{
    // Keys are looked up by a hash of their folded names, so that a file of n
    // lines costs n lookups however many keys are asked for. The table of the
    // keys lives on the stack: a file is read and written key by key, and
    // building a hash of allocated names on every call cost more than the
    // lookups themselves.
    qsizetype tableSize = 16;
    while (tableSize < 2 * qsizetype(keys.size()))
        tableSize *= 2;
    const std::size_t mask = std::size_t(tableSize) - 1;
    constexpr std::size_t empty = std::size_t(-1);
    QVarLengthArray<std::size_t, 128> table(tableSize, empty);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        std::size_t slot = foldedHash(keys[k]) & mask;
        // A key named twice takes the later place, as a hash's insert would.
        while (table[slot] != empty && !sameName(keys[table[slot]], keys[k]))
            slot = (slot + 1) & mask;
        table[slot] = k;
    }

    std::vector<std::optional<std::size_t>> found(keys.size());
    std::size_t missing = keys.size();
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size() && missing > 0; ++i) {
        const Line &line = m_lines[i];
        if (line.kind == Kind::Section) {
            inSection = sameName(nameOf(line), section);
        } else if (inSection && line.kind == Kind::Key) {
            const QByteArrayView name = nameOf(line);
            std::size_t slot = foldedHash(name) & mask;
            while (table[slot] != empty && !sameName(keys[table[slot]], name))
                slot = (slot + 1) & mask;
            const std::size_t k = table[slot];
            if (k != empty && !found[k]) {
                found[k] = i;
                --missing;
            }
        }
    }
    return found;
}

std::optional<QByteArray> IniProfile::value(QByteArrayView section, QByteArrayView key) const
{
    return values(section, {key}).front();
}

std::vector<std::optional<QByteArray>>
IniProfile::values(QByteArrayView section, const std::vector<QByteArrayView> &keys) const
{
    std::vector<std::optional<QByteArray>> result(keys.size());
    const auto lines = keyLines(section, keys);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (!lines[k])
            continue;
        const QByteArray &text = m_lines[*lines[k]].text;
        const qsizetype equals = text.indexOf('=');
        result[k] = equals < 0 ? QByteArray()
                               : trimmed(QByteArrayView(text).sliced(equals + 1)).toByteArray();
    }
    return result;
}

void IniProfile::setValue(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    setValues(section, {key}, {value});
}

void IniProfile::setValues(QByteArrayView section, const std::vector<QByteArrayView> &keys,
                           const std::vector<QByteArrayView> &values)
{
    // A key's first line in any section of that name takes the new value.
    const auto lines = keyLines(section, keys);
    std::vector<Line> added;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (lines[k]) {
            Line &line = m_lines[*lines[k]];
            line.text = keyLine(nameOf(line), values[k]);
            line.nameBegin = 0;
        } else {
            added.push_back(parseLine(keyLine(keys[k], values[k]), crLf));
        }
    }
    if (added.empty())
        return;

    // The other keys join the first such section after its last non-blank
    // line, so that blank lines before the next section stay where they are.
    std::size_t header = 0;
    while (header < m_lines.size() &&
           !(m_lines[header].kind == Kind::Section && sameName(nameOf(m_lines[header]), section)))
        ++header;
    std::size_t insertAt = header + 1;
    if (header == m_lines.size()) {
        insertAt = m_lines.size();
        added.insert(added.begin(), parseLine('[' + section.toByteArray() + ']', crLf));
    } else {
        for (std::size_t i = header + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section;
             ++i) {
            if (!trimmed(m_lines[i].text).isEmpty())
                insertAt = i + 1;
        }
    }
    // The line before them may have been the file's unterminated last line.
    if (insertAt > 0 && m_lines[insertAt - 1].ending.isEmpty())
        m_lines[insertAt - 1].ending = crLf;
    // All at once: inserted one by one, each line moved the rest of the file along.
    m_lines.insert(m_lines.begin() + qsizetype(insertAt), std::make_move_iterator(added.begin()),
                   std::make_move_iterator(added.end()));
}

QByteArray IniProfile::bytes() const
{
    qsizetype size = m_bom.size();
    for (const Line &line : m_lines)
        size += line.text.size() + line.ending.size();
    QByteArray out;
    out.reserve(size);
    out.append(m_bom);
    for (const Line &line : m_lines)
        out.append(line.text).append(line.ending);
    return out;
}

} // namespace tallowick
