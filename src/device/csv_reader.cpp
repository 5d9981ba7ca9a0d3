#include "device/csv_reader.h"

namespace tallowick {

std::variant<std::vector<CsvRecord>, CsvError> readCsv(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    const QString text = QString::fromUtf8(bytes);
    std::vector<CsvRecord> records;
    CsvRecord record{1, {}};
    QString field;
    int line = 1;
    bool quoted = false;    // inside quotes
    bool wasQuoted = false; // the field began with a quote that has closed
    bool anything = false;  // the record has a character other than the line end
    const auto endField = [&] {
        record.fields << field;
        field.clear();
        wasQuoted = false;
    };
    const auto endRecord = [&] {
        endField();
        if (anything)
            records.push_back(std::move(record));
        record = CsvRecord{line, {}};
        anything = false;
    };
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < size && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else {
                    quoted = false;
                    wasQuoted = true;
                }
                continue;
            }
            if (c == u'\n')
                ++line;
            field += c;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < size && text[i + 1] == u'\n')
                ++i;
            ++line;
            endRecord();
            continue;
        }
        anything = true;
        if (c == u',') {
            endField();
            continue;
        }
        if (wasQuoted) {
            if (c == u' ' || c == u'\t')
                continue;
            return CsvError{line, QStringLiteral("text after a closing quote")};
        }
        if (c == u'"' && field.trimmed().isEmpty()) {
            field.clear();
            quoted = true;
            continue;
        }
        field += c;
    }
    if (quoted)
        return CsvError{record.line, QStringLiteral("a quote that never closes")};
    endRecord();
    return records;
}

QString csvField(const QString &text)
{
    const bool plain = !text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
                       !text.contains(u'\r') && text.trimmed() == text;
    if (plain)
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace tallowick
