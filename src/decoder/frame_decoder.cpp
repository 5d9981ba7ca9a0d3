#include "decoder/frame_decoder.h"

#include <QStringView>
#include <algorithm>
#include <utility>

namespace tallowick {

namespace {

const QString lineBreak = QStringLiteral("\r\n");

// The frame's length for the kind tests: only blanks are cut from the ends,
// tabs and line breaks count. Kept wide so a huge box never wraps into a
// length that happens to qualify.
qsizetype frameLength(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ')
        ++first;
    while (last > first && text[last - 1] == u' ')
        --last;
    return last - first;
}

// Characters position .. position + count - 1, counted from 1; whatever is
// left where the text ends earlier.
QStringView field(QStringView text, qsizetype position, qsizetype count)
{
    const qsizetype start = position - 1;
    if (start >= text.size())
        return {};
    return text.sliced(start, std::min(count, text.size() - start));
}

// A byte-count field read as hexadecimal: blanks, tabs and line feeds are
// skipped, the first other non-digit ends the number, no digit at all is 0.
int byteCountValue(QStringView digits)
{
    int value = 0;
    for (const QChar c : digits) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        int digit = 0;
        if (c >= u'0' && c <= u'9')
            digit = c.unicode() - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c.unicode() - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c.unicode() - u'A' + 10;
        else
            break;
        value = value * 16 + digit;
    }
    return value;
}

// The box text growing line by line. A field is read from the text as it
// stands before its own line is added, so a field past the end of the frame
// shows the line breaks and header that follow it.
class Description
{
public:
    explicit Description(const QString &text) : m_text(text) {}

    // Every description opens with its title, the slave and the function
    // code; only the slave's label differs.
    void header(const QString &title, const QString &slaveLabel)
    {
        m_text += lineBreak + lineBreak + title + lineBreak;
        fieldLine(slaveLabel, 1, 2);
        fieldLine(QStringLiteral("Function Code------------:"), 3, 2);
    }

    void fieldLine(const QString &label, qsizetype position, qsizetype count)
    {
        const QString value = field(m_text, position, count).toString();
        m_text += lineBreak + label + value;
    }

    QString nonStandard(const QString &message) &&
    {
        m_text += lineBreak + lineBreak + message;
        return std::move(m_text);
    }

    // Numbered four-digit fields from `position` to the end of the frame:
    // the label, its number, then the dashes that line the values up.
    void dataLines(const QString &label, const QString &dashes, qsizetype position,
                   qsizetype length)
    {
        int n = 1;
        for (qsizetype i = position; i <= length; i += 4, ++n)
            fieldLine(label + QString::number(n) + dashes, i, 4);
    }

    int byteCount(qsizetype position) const { return byteCountValue(field(m_text, position, 2)); }

    QString result() && { return std::move(m_text); }

private:
    QString m_text;
};

// Functions 03 and 04 share their layout and labels; only the header and the
// message name the function.
QString readRegisters(const QString &text, const QString &responseHeader,
                      const QString &requestHeader, const QString &nonStandardMessage)
{
    const qsizetype length = frameLength(text);
    Description d(text);
    if (2 * qsizetype(d.byteCount(5)) == length - 6) {
        d.header(responseHeader, QStringLiteral("Response Slave ID-------:"));
        d.fieldLine(QStringLiteral("Response DataCount----:"), 5, 2);
        d.dataLines(QStringLiteral("Data"), QStringLiteral("----------------------:"), 7, length);
        return std::move(d).result();
    }
    if (length == 12) {
        d.header(requestHeader, QStringLiteral("Requset Slave ID---------:"));
        d.fieldLine(QStringLiteral("Start Address--------------:"), 5, 4);
        d.fieldLine(QStringLiteral("Read Count----------------:"), 9, 4);
        return std::move(d).result();
    }
    return std::move(d).nonStandard(nonStandardMessage);
}

} // namespace

QString parseCommand(const QString &text)
{
    const QStringView code = field(text, 3, 2);
    if (code == u"03")
        return modbus03(text);
    if (code == u"04")
        return modbus04(text);
    if (code == u"06")
        return modbus06(text);
    if (code == u"10")
        return modbus10(text);
    return text + lineBreak + lineBreak + QStringLiteral("Unknow command :'(");
}

QString modbus03(const QString &text)
{
    return readRegisters(text, QStringLiteral("Modbus 03 Response :)"),
                         QStringLiteral("Modbus 03 Request :)"),
                         QStringLiteral("Non-standard Modbus 03 function :'("));
}

QString modbus04(const QString &text)
{
    return readRegisters(text, QStringLiteral("Modbus 04 Response :)"),
                         QStringLiteral("Modbus 04 Request :)"),
                         QStringLiteral("Non-standard Modbus 04 function :'("));
}

QString modbus06(const QString &text)
{
    Description d(text);
    if (frameLength(text) >= 13)
        return std::move(d).nonStandard(QStringLiteral("Non-standard Modbus 06 function :'("));
    // Shorter frames are described too; their missing fields show what follows.
    d.header(QStringLiteral("Modbus 06 Function :)"),
             QStringLiteral("Slave ID-------------------:"));
    d.fieldLine(QStringLiteral("Write Address------------:"), 5, 4);
    d.fieldLine(QStringLiteral("Write Count--------------:"), 9, 4);
    return std::move(d).result();
}

QString modbus10(const QString &text)
{
    const qsizetype length = frameLength(text);
    Description d(text);
    if (2 * qsizetype(d.byteCount(13)) == length - 14) {
        d.header(QStringLiteral("Modbus 10 Requset :)"),
                 QStringLiteral("Requset Slave ID---------:"));
        d.fieldLine(QStringLiteral("Write Start address-------:"), 5, 4);
        d.fieldLine(QStringLiteral("Write Count---------------:"), 9, 4);
        d.fieldLine(QStringLiteral("Data Byte------------------:"), 13, 2);
        d.dataLines(QStringLiteral("Write Data"), QStringLiteral("---------------:"), 15, length);
        return std::move(d).result();
    }
    if (length == 12) {
        // The twelve-digit form is the device's answer to a write, whatever
        // its header says.
        d.header(QStringLiteral("Modbus 10 Request :)"),
                 QStringLiteral("Response Slave ID-------:"));
        d.fieldLine(QStringLiteral("Start Address--------------:"), 5, 4);
        d.fieldLine(QStringLiteral("Write Count---------------:"), 9, 4);
        return std::move(d).result();
    }
    return std::move(d).nonStandard(QStringLiteral("Non-standard Modbus 10 function :'("));
}

} // namespace tallowick
