#include "config/ini_profile.h"

#include <QHash>
#include <QList>
#include <QVarLengthArray>

namespace tallowick {

namespace {

const QByteArray utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");
const QByteArray crLf = QByteArrayLiteral("\r\n");

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

// The name with ASCII letters folded, in a buffer the caller keeps, so that
// folding a line's name for a lookup allocates nothing.
QByteArrayView folded(QByteArrayView name, QVarLengthArray<char, 64> &buffer)
{
    buffer.resize(name.size());
    for (qsizetype i = 0; i < name.size(); ++i)
        buffer[i] = asciiLower(name[i]);
    return {buffer.constData(), buffer.size()};
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

} // namespace

IniProfile::IniProfile(const QByteArray &bytes)
{
    qsizetype pos = 0;
    if (bytes.startsWith(utf8Bom)) {
        m_bom = utf8Bom;
        pos = utf8Bom.size();
    }
    const qsizetype size = bytes.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        qsizetype next = end;
        if (next < size && bytes[next] == '\r')
            ++next;
        if (next < size && bytes[next] == '\n')
            ++next;
        m_lines.push_back(parseLine(bytes.sliced(pos, end - pos), bytes.sliced(end, next - end)));
        pos = next;
    }
}

IniProfile::Line IniProfile::parseLine(QByteArray text, QByteArray ending)
{
    Line line{std::move(text), std::move(ending), Kind::Other, {}};
    const QByteArrayView content = trimmed(line.text);
    if (content.isEmpty() || content.front() == ';')
        return line;
    if (content.front() == '[') {
        const qsizetype close = content.lastIndexOf(']');
        if (close > 0) {
            line.kind = Kind::Section;
            line.name = trimmed(content.sliced(1, close - 1)).toByteArray();
        }
        return line;
    }
    const qsizetype equals = content.indexOf('=');
    const QByteArrayView key = trimmed(equals >= 0 ? content.first(equals) : content);
    if (!key.isEmpty()) {
        line.kind = Kind::Key;
        line.name = key.toByteArray();
    }
    return line;
}

std::vector<std::optional<std::size_t>>
IniProfile::keyLines(QByteArrayView section, const std::vector<QByteArrayView> &keys) const
{
    // Keys are looked up by their folded names, so that a file of n lines
    // costs n lookups however many keys are asked for.
    QVarLengthArray<char, 64> buffer;
    QHash<QByteArray, std::size_t> wanted;
    wanted.reserve(qsizetype(keys.size()));
    for (std::size_t k = 0; k < keys.size(); ++k)
        wanted.insert(folded(keys[k], buffer).toByteArray(), k);

    std::vector<std::optional<std::size_t>> found(keys.size());
    std::size_t missing = keys.size();
    bool inSection = false;
    for (std::size_t i = 0; i < m_lines.size() && missing > 0; ++i) {
        const Line &line = m_lines[i];
        if (line.kind == Kind::Section) {
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == Kind::Key) {
            const QByteArrayView name = folded(line.name, buffer);
            const auto it = wanted.constFind(QByteArray::fromRawData(name.data(), name.size()));
            if (it != wanted.cend() && !found[*it]) {
                found[*it] = i;
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
    auto written = [&](std::size_t k) {
        QByteArray text = values[k].toByteArray();
        if (const qsizetype nul = text.indexOf('\0'); nul >= 0)
            text.truncate(nul);
        return text.replace('\r', ' ').replace('\n', ' ');
    };

    // A key's first line in any section of that name takes the new value.
    const auto lines = keyLines(section, keys);
    QList<QByteArray> added;
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (lines[k]) {
            Line &line = m_lines[*lines[k]];
            line.text = line.name + '=' + written(k);
        } else {
            added << keys[k].toByteArray() + '=' + written(k);
        }
    }
    if (added.isEmpty())
        return;

    // The other keys join the first such section after its last non-blank
    // line, so that blank lines before the next section stay where they are.
    std::size_t header = 0;
    while (header < m_lines.size() &&
           !(m_lines[header].kind == Kind::Section && sameName(m_lines[header].name, section)))
        ++header;
    std::size_t insertAt = header + 1;
    if (header == m_lines.size()) {
        insertLine(m_lines.size(), '[' + section.toByteArray() + ']');
    } else {
        for (std::size_t i = header + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section;
             ++i) {
            if (!trimmed(m_lines[i].text).isEmpty())
                insertAt = i + 1;
        }
    }
    for (QByteArray &keyLine : added)
        insertLine(insertAt++, std::move(keyLine));
}

void IniProfile::insertLine(std::size_t index, QByteArray text)
{
    // The line before it may have been the file's unterminated last line.
    if (index > 0 && m_lines[index - 1].ending.isEmpty())
        m_lines[index - 1].ending = crLf;
    m_lines.insert(m_lines.begin() + qsizetype(index), parseLine(std::move(text), crLf));
}

QByteArray IniProfile::bytes() const
{
    QByteArray out = m_bom;
    for (const Line &line : m_lines)
        out += line.text + line.ending;
    return out;
}

} // namespace tallowick
