#pragma once

// Comma-separated values as spreadsheets write them: fields in double quotes
// may hold commas, line breaks and "" for a quote; a UTF-8 byte order mark
// before the first row and CRLF line ends are read as well.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <variant>
#include <vector>

namespace tallowick {

struct CsvRecord
{
    int line = 0; // where the record begins, counted from 1
    QStringList fields;
};

struct CsvError
{
    int line = 0;
    QString reason;
};

// Every record, blank lines left out. Text after a closing quote and a quote
// that never closes are refused.
std::variant<std::vector<CsvRecord>, CsvError> readCsv(QByteArrayView bytes);

// A field as the reader takes it back: quoted when it holds a comma, a quote,
// a line break or blanks at either end.
QString csvField(const QString &text);

} // namespace tallowick
