#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tallowick::codepage {

// Windows code page numbers; configuration files are 8-bit text in the ANSI
// code page of the user's locale, as the Windows machines that share them write.
inline constexpr int traditionalChinese = 950;
inline constexpr int utf8 = 65001;

// The Windows ANSI code page of a POSIX locale name such as "zh_TW.UTF-8" or
// "sr_RS@latin". A locale that names no language (empty, "C", "POSIX") gets
// Big5, the code page the configuration files were first written in.
int forLocale(QByteArrayView localeName);

// The code page of the user's character-type locale (LC_ALL, LC_CTYPE, LANG).
int systemAnsi();

// Characters the code page cannot hold become "?", as they do on Windows.
QByteArray encode(const QString &text, int codePage);
// Bytes that are no character of the code page become "?".
QString decode(QByteArrayView bytes, int codePage);

// The longest prefix of bytes, at most maxBytes long, that ends on a character
// boundary: a cut never leaves the first half of a double-byte character.
qsizetype prefixLength(QByteArrayView bytes, qsizetype maxBytes, int codePage);

} // namespace tallowick::codepage
