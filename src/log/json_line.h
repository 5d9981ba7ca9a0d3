#pragma once

#include "frames/response_times.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <optional>
#include <string_view>

namespace tallowick {

// One JSON object on a line, for every program's records (JSON Lines): keys
// in the order they are given, frames as uppercase hexadecimal without blanks,
// a missing value as null. Keys are the caller's ASCII; text is escaped.
class JsonLine
{
public:
    JsonLine();

    JsonLine &number(const char *key, qint64 value);
    JsonLine &number(const char *key, std::optional<qint64> value);
    JsonLine &boolean(const char *key, bool value);
    JsonLine &text(const char *key, QStringView value);
    // A count under a key that is text of the user's (a link, a rule as
    // given), escaped as a text is.
    JsonLine &number(QStringView key, qint64 value);
    JsonLine &bytes(const char *key, QByteArrayView frame);
    JsonLine &bytesOrNull(const char *key, const std::optional<QByteArray> &frame);
    // {"min":..,"median":..,"p99":..,"max":..} in microseconds, or null when
    // nothing was timed: every summary gives its response times so.
    JsonLine &responseTimes(const char *key, const ResponseTimes &times);
    // An object built by another JsonLine, nested under the key.
    JsonLine &object(const char *key, const JsonLine &inner);

    // The object closed: "}" alone, or "}\n" as a line of a file (after
    // which the JsonLine is spent).
    QByteArray closed() const;
    QByteArray line();

private:
    void key(const char *name);
    // The next `bytes` of the line, to be written.
    char *room(qsizetype bytes);
    void put(std::string_view text);
    void putString(QStringView value);

    QByteArray m_json;
    qsizetype m_used; // of m_json, the bytes written
};

} // namespace tallowick
