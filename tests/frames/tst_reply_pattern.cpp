// The --expect patterns: what each written form is read as, what each kind of
// malformed one is refused with, and which replies a pattern accepts. More
// malformed patterns are seeds of fuzz_reply_pattern, which checks that each is
// refused with the forms a pattern may take.
#include "frames/reply_pattern.h"

#include <QTest>

using namespace tallowick;

namespace {

// The forms as the refusals must name them, written out here on their own.
const QString forms = QStringLiteral(
    "; --expect takes hexadecimal bytes, \"..\" for any byte, \"exception\" or \"exception:CC\"");

// A pattern back as text: "01 .. FF", "exception", "exception:02", or the error.
QString describe(const ParsedReplyPattern &parsed)
{
    if (const auto *error = std::get_if<ReplyPatternError>(&parsed))
        return QStringLiteral("error %1: %2").arg(int(error->reason)).arg(error->text);
    const ReplyPattern &pattern = std::get<ReplyPattern>(parsed);
    if (const auto *exception = std::get_if<ExpectedException>(&pattern)) {
        if (!exception->code)
            return QStringLiteral("exception");
        return QStringLiteral("exception:%1").arg(*exception->code, 2, 16, QLatin1Char('0'));
    }
    QStringList bytes;
    for (const auto &byte : std::get<ExpectedBytes>(pattern).bytes)
        bytes << (byte ? QStringLiteral("%1").arg(*byte, 2, 16, QLatin1Char('0')) : "..");
    return bytes.join(u' ');
}

QString refused(ReplyPatternError::Reason reason, const QString &why)
{
    return QStringLiteral("error %1: %2").arg(int(reason)).arg(why + forms);
}

} // namespace

class TestReplyPattern : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read");
        const auto row = [](const char *name, const QString &text, const QString &read) {
            QTest::newRow(name) << text << read;
        };
        using E = ReplyPatternError;
        row("bytes with blanks", "01 03 02 00 2A", "01 03 02 00 2a");
        row("runs of several bytes", "0103 02\t002A", "01 03 02 00 2a");
        row("any byte", "01 03 02 .. ..", "01 03 02 .. ..");
        row("any bytes run together", "....FF", ".. .. ff");
        row("exception", "exception", "exception");
        row("exception mixed case", "Exception:0b", "exception:0b");
        row("exception FF", "exception:FF", "exception:ff");

        row("empty", "", refused(E::Empty, "the pattern is empty"));
        row("odd run", "010",
            refused(E::OddDigits, "\"010\" has an odd number of hexadecimal digits"));
        row("lone digit between", "01 0 03",
            refused(E::OddDigits, "\"0\" has an odd number of hexadecimal digits"));
        row("not hex", "0G", refused(E::NotHex, "\"0G\" is not a hexadecimal byte"));
        row("one dot", ".", refused(E::NotHex, "\".\" is not a hexadecimal byte"));
        row("exceptions", "exceptions",
            refused(E::NotHex, "\"exceptions\" is not a hexadecimal byte"));
        row("exception and blank code", "exception 01",
            refused(E::NotHex, "\"exception 01\" is not a hexadecimal byte"));
        row("exception no code", "exception:",
            refused(E::BadExceptionCode, "\"\" is not an exception code from 01 to FF"));
        row("exception 00", "exception:00",
            refused(E::BadExceptionCode, "\"00\" is not an exception code from 01 to FF"));
        row("exception one digit", "exception:2",
            refused(E::BadExceptionCode, "\"2\" is not an exception code from 01 to FF"));
        row("exception two codes", "exception:01:02",
            refused(E::BadExceptionCode, "\"01:02\" is not an exception code from 01 to FF"));
    }

    void parse()
    {
        QFETCH(QString, text);
        QTEST(describe(parseReplyPattern(text)), "read");
    }

    void matches_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("matched");
        const auto row = [](const char *name, const QString &pattern, const char *hex, bool m) {
            QTest::newRow(name) << pattern << QByteArray::fromHex(hex) << m;
        };
        row("same bytes", "01 03 02 00 2A", "010302002a", true);
        row("reply longer", "01 03 02 00 2A", "010302002a00", false);
        row("any bytes", "01 03 02 .. ..", "010302ffff", true);
        row("exception bytes written out", "01 83 02", "018302", true);
        row("exception", "exception", "018302", true);
        row("exception function 0x80", "exception", "0180ff", true);
        row("exception longer frame", "exception", "01830201", true);
        row("exception two bytes", "exception", "0183", false);
        row("exception function 0x7F", "exception", "017f04", false);
        row("exception normal reply", "exception", "0103020005", false);
        row("exception code", "exception:02", "018302", true);
        row("exception other code", "exception:02", "018301", false);
    }

    void matches()
    {
        QFETCH(QString, pattern);
        QFETCH(QByteArray, reply);
        const auto parsed = parseReplyPattern(pattern);
        QVERIFY(std::holds_alternative<ReplyPattern>(parsed));
        QTEST(tallowick::matches(std::get<ReplyPattern>(parsed), reply), "matched");
    }
};

QTEST_GUILESS_MAIN(TestReplyPattern)
#include "tst_reply_pattern.moc"
