#include "config/ini_profile.h"

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

std::optional<QByteArray> IniProfile::value(QByteArrayView section, QByteArrayView key) const
{
    bool inSection = false;
    for (const Line &line : m_lines) {
        if (line.kind == Kind::Section) {
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == Kind::Key && sameName(line.name, key)) {
            const qsizetype equals = line.text.indexOf('=');
            if (equals < 0)
                return QByteArray();
            return trimmed(QByteArrayView(line.text).sliced(equals + 1)).toByteArray();
        }
    }
    return std::nullopt;
}

void IniProfile::setValue(QByteArrayView section, QByteArrayView key, QByteArrayView value)
{
    QByteArray written = value.toByteArray();
    if (const qsizetype nul = written.indexOf('\0'); nul >= 0)
        written.truncate(nul);
    written.replace('\r', ' ').replace('\n', ' ');

    // The key's first line in any section of that name takes the new value.
    bool inSection = false;
    for (Line &line : m_lines) {
        if (line.kind == Kind::Section) {
            inSection = sameName(line.name, section);
        } else if (inSection && line.kind == Kind::Key && sameName(line.name, key)) {
            line.text = line.name + '=' + written;
            return;
        }
    }

    // Otherwise it joins the first such section after its last non-blank line,
    // so that blank lines before the next section stay where they are.
    std::size_t header = 0;
    while (header < m_lines.size() &&
           !(m_lines[header].kind == Kind::Section && sameName(m_lines[header].name, section)))
        ++header;
    const QByteArray keyLine = key.toByteArray() + '=' + written;
    if (header == m_lines.size()) {
        insertLine(m_lines.size(), '[' + section.toByteArray() + ']');
        insertLine(m_lines.size(), keyLine);
        return;
    }
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < m_lines.size() && m_lines[i].kind != Kind::Section; ++i) {
        if (!trimmed(m_lines[i].text).isEmpty())
            insertAt = i + 1;
    }
    insertLine(insertAt, keyLine);
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
