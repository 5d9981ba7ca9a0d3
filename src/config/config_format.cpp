#include "config/config_format.h"

#include "config/code_page.h"
#include "config/ini_profile.h"

namespace tallowick {

namespace {

const QByteArray section = QByteArrayLiteral("SETTINGS");

// The slot or the exported names of the keys, in order; views of the table
// of keys, which lives as long as the program.
std::vector<QByteArrayView> keyNames(QByteArray ConfigValueNames::*name)
{
    std::vector<QByteArrayView> names;
    for (const ConfigValueNames &key : configValueNames())
        names.push_back(key.*name);
    return names;
}

const std::vector<QByteArrayView> &slotKeyNames()
{
    static const auto names = keyNames(&ConfigValueNames::slotKey);
    return names;
}

const std::vector<QByteArrayView> &exportKeyNames()
{
    static const auto names = keyNames(&ConfigValueNames::exportKey);
    return names;
}

// Encoded values stay alive in the list while the views point into them.
std::vector<QByteArrayView> viewsOf(const QList<QByteArray> &encoded)
{
    return {encoded.cbegin(), encoded.cend()};
}

QList<QByteArray> encoded(const QStringList &values, int codePage)
{
    QList<QByteArray> out;
    out.reserve(configValueCount);
    for (int i = 0; i < configValueCount; ++i)
        out << codepage::encode(values.value(i), codePage);
    return out;
}

} // namespace

QStringList configValuesFromFile(const QByteArray &file, int codePage)
{
    const IniProfile profile(file);
    const int fileCodePage = profile.hasUtf8Bom() ? codepage::utf8 : codePage;
    QStringList values;
    values.reserve(configValueCount);
    for (const std::optional<QByteArray> &found : profile.values(section, slotKeyNames())) {
        QByteArray raw = found.value_or(QByteArray());
        // The value is handed over as a C string.
        if (const qsizetype nul = raw.indexOf('\0'); nul >= 0)
            raw.truncate(nul);
        raw.truncate(codepage::prefixLength(raw, valueBufferSize - 1, fileCodePage));
        values << codepage::decode(raw, fileCodePage);
    }
    return values;
}

QByteArray slotFileWith(const QByteArray &file, const QStringList &values, int codePage)
{
    IniProfile profile(file);
    // A file someone saved as UTF-8 stays UTF-8 rather than becoming a mixture.
    const int fileCodePage = profile.hasUtf8Bom() ? codepage::utf8 : codePage;
    const QList<QByteArray> bytes = encoded(values, fileCodePage);
    profile.setValues(section, slotKeyNames(), viewsOf(bytes));
    return profile.bytes();
}

QByteArray exportedFile(const QStringList &values, int codePage)
{
    // Written through the same line rules as a slot, so that a line break in a
    // value cannot start a line of its own.
    IniProfile profile;
    const QList<QByteArray> bytes = encoded(values, codePage);
    profile.setValues(section, exportKeyNames(), viewsOf(bytes));
    return profile.bytes();
}

bool isValidSlotFileName(const QString &name)
{
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|").contains(c))
            return false;
    }
    return true;
}

bool matchesIniPattern(const QString &name)
{
    return !name.startsWith(u'.') && name.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive);
}

} // namespace tallowick
