#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>
#include <vector>

namespace tallowick {

// An INI file held as its bytes, read and changed the way the Windows
// private-profile functions treat the files they share with this program:
// - sections and keys match without regard to ASCII letter case;
// - a value is the text after the first "=", blanks and tabs dropped at both
//   ends; a key line without "=" has the empty value; a key that stands twice
//   yields its first value; lines starting with ";" are comments;
// - lines end in CR LF, LF or CR alone; a UTF-8 byte-order mark is skipped;
// - changing a value rewrites only the key's own line, a missing key is added
//   after the last line of its section, a missing section at the end of the
//   file, and every other byte of the file stays as it was.
// The bytes are not decoded: values come and go in the file's own encoding.
class IniProfile
{
public:
    explicit IniProfile(const QByteArray &bytes = {});

    bool hasUtf8Bom() const { return !m_bom.isEmpty(); }

    // Nothing when the file lacks the section or the key in it.
    std::optional<QByteArray> value(QByteArrayView section, QByteArrayView key) const;
    // A line break inside the value would start a line of its own; it becomes a
    // blank. A NUL ends the value, as it ends the text the Windows functions see.
    void setValue(QByteArrayView section, QByteArrayView key, QByteArrayView value);

    // The same for many keys of one section at once, in one pass over the
    // lines: the result is that of reading or writing them one after another.
    // The keys differ from one another in more than letter case.
    std::vector<std::optional<QByteArray>> values(QByteArrayView section,
                                                  const std::vector<QByteArrayView> &keys) const;
    void setValues(QByteArrayView section, const std::vector<QByteArrayView> &keys,
                   const std::vector<QByteArrayView> &values);

    QByteArray bytes() const;

private:
    enum class Kind { Other, Section, Key };
    struct Line
    {
        QByteArray text;   // without its line break; a view of m_source until rewritten
        QByteArray ending; // "\r\n", "\n", "\r", or nothing on an unterminated last line
        Kind kind = Kind::Other;
        // Where the section's name or the key stands in the text, blanks dropped.
        qsizetype nameBegin = 0;
        qsizetype nameSize = 0;
    };

    static QByteArrayView nameOf(const Line &line)
    {
        return QByteArrayView(line.text).sliced(line.nameBegin, line.nameSize);
    }

    static Line parseLine(QByteArray text, QByteArray ending);
    // For each key, the index of its first line in a section of that name.
    std::vector<std::optional<std::size_t>> keyLines(QByteArrayView section,
                                                     const std::vector<QByteArrayView> &keys) const;

    QByteArray m_source; // the bytes read, which the lines not rewritten still view
    QByteArray m_bom;
    std::vector<Line> m_lines;
};

} // namespace tallowick
