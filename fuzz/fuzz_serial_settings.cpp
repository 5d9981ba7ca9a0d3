// The comSelect (port) and configCOM (line settings) texts of the serial link.
#include "fuzz_check.h"
#include "links/serial_settings.h"

#include <QRegularExpression>

using namespace tallowick;

namespace {

bool operator==(const LineSettings &a, const LineSettings &b)
{
    return a.baudRate == b.baudRate && a.parity == b.parity && a.dataBits == b.dataBits &&
           a.stopBits == b.stopBits;
}

QString parityLetter(QSerialPort::Parity parity)
{
    switch (parity) {
    case QSerialPort::NoParity:
        return QStringLiteral("n");
    case QSerialPort::EvenParity:
        return QStringLiteral("e");
    case QSerialPort::OddParity:
        return QStringLiteral("o");
    case QSerialPort::MarkParity:
        return QStringLiteral("m");
    case QSerialPort::SpaceParity:
        return QStringLiteral("s");
    default:
        return {};
    }
}

QString stopText(QSerialPort::StopBits stopBits)
{
    switch (stopBits) {
    case QSerialPort::OneStop:
        return QStringLiteral("1");
    case QSerialPort::OneAndHalfStop:
        return QStringLiteral("1.5");
    case QSerialPort::TwoStop:
        return QStringLiteral("2");
    default:
        return {};
    }
}

void checkComSelect(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const auto path = serialDevicePath(text);
    FUZZ_CHECK(serialDevicePath(u' ' + text + u'\t') == path);
    const QString given = text.trimmed();
    // Ports 1 to 32767 are numbered, in five digits at most: the Windows
    // range of COM ports.
    if (digits.match(given).hasMatch())
        FUZZ_CHECK(path.has_value() ==
                   (given.size() <= 5 && given.toInt() >= 1 && given.toInt() <= 32767));
    if (!path)
        return;
    FUZZ_CHECK(path->startsWith(u'/'));
    if (given.startsWith(u'/')) {
        FUZZ_CHECK(*path == given);
        return;
    }
    // A number or a bare name stays directly under /dev: nothing in it can
    // climb out of the folder.
    FUZZ_CHECK(path->startsWith(QStringLiteral("/dev/")));
    const QString name = path->mid(5);
    FUZZ_CHECK(!name.isEmpty() && !name.contains(u'/') && name != u"." && name != u"..");
    // Port n is the n-th serial port; no number reaches below the first.
    // (A name such as "ttyS-1" typed out is just a name.)
    if (digits.match(given).hasMatch())
        FUZZ_CHECK(given.toInt() >= 1 && name == QStringLiteral("ttyS%1").arg(given.toInt() - 1));
}

void checkConfigCom(const QString &text)
{
    const auto settings = parseLineSettings(text);
    // The programs take the text the window takes, at a rate a port is set to,
    // and name the text when they refuse it.
    const auto program = programLineSettings(text);
    if (const auto *refused = std::get_if<SettingsRefusal>(&program))
        FUZZ_CHECK(refused->what.endsWith(u'"' + text + u'"') &&
                   (!settings || !isLineBaudRate(settings->baudRate)));
    else
        FUZZ_CHECK(settings && std::get<LineSettings>(program) == *settings &&
                   isLineBaudRate(settings->baudRate));
    if (!settings)
        return;
    FUZZ_CHECK(text.count(u',') == 3);
    FUZZ_CHECK(settings->baudRate > 0);
    FUZZ_CHECK(settings->dataBits >= QSerialPort::Data5 &&
               settings->dataBits <= QSerialPort::Data8);

    // Written back in the usual form, the settings read the same; so do the
    // text in the other letter case and the text with blanks after the commas.
    const QString canonical =
        QString::number(settings->baudRate) + u',' + parityLetter(settings->parity) + u',' +
        QString::number(int(settings->dataBits)) + u',' + stopText(settings->stopBits);
    const auto again = parseLineSettings(canonical);
    FUZZ_CHECK(again && *again == *settings);
    const auto upper = parseLineSettings(text.toUpper());
    FUZZ_CHECK(upper && *upper == *settings);
    QString spaced = text;
    spaced.replace(u',', QStringLiteral(" , "));
    const auto spacedAgain = parseLineSettings(spaced);
    FUZZ_CHECK(spacedAgain && *spacedAgain == *settings);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (const QString &text : {fuzz::utf8Text(data, size), fuzz::utf16Text(data, size)}) {
        checkComSelect(text);
        checkConfigCom(text);
    }
    return 0;
}
