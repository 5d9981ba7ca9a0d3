// Hostile text in every text field of the window, followed by every action
// that reads the field: Send, CRC Calculate, Repeat Send, Save setting, export
// and import, and the decoder handover. Nothing may crash or hang; each action
// either does what it always does or says why it does not.
#include "decoder/decoder_window.h"
#include "engine/exchange_engine.h"
#include "support/exchange.h"
#include "support/pty_pair.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tallowick;
using namespace tallowick::test;

namespace {

const QStringList fieldNames = {"address",   "port",    "timeout",    "comSelect", "configCOM",
                                "repeat",    "rpStart", "rpStop",     "rCNT",      "sendCnt",
                                "filetitle", "cmd_0",   "noteText_0", "filecombo"};

QLineEdit *fieldBox(WindowFixture &f, const QString &name)
{
    if (name == u"filecombo")
        return f.ui().filecombo->lineEdit();
    return f.window->findChild<QLineEdit *>(name);
}

// The fields a Send reads in serial mode; the others are sent over TCP.
bool usesSerialLink(const QString &field)
{
    // A hostile address is never looked up: the resolver could ask a name
    // server off this machine. Its emptiness check is the same in both modes.
    return field == u"comSelect" || field == u"configCOM" || field == u"address";
}

bool inConfigurationSet(const QString &field)
{
    return field != u"comSelect" && field != u"configCOM" && field != u"filecombo";
}

// A value that a configuration file carries back unchanged: printable ASCII,
// no blanks at the ends, short enough for the loader's buffer.
bool survivesConfigFile(const QString &value)
{
    if (value.size() > 255 || value != value.trimmed())
        return false;
    return std::all_of(value.begin(), value.end(),
                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
}

bool isRunEnded(WindowFixture &f)
{
    return !f.engine().isRepeating() && f.ui().Command2->text() == QLatin1String("Repeat Send") &&
           !f.ui().repTimer->isActive();
}

// Something the user can see changed: a box, the log or the status caption.
struct Seen
{
    qsizetype messages;
    QString log;
    QString status;
};
Seen seen(WindowFixture &f)
{
    return {f.dialogs.messages.size(), f.logText(), f.ui().status->text()};
}
bool userWasTold(WindowFixture &f, const Seen &before)
{
    const Seen now = seen(f);
    for (qsizetype i = before.messages; i < now.messages; ++i) {
        if (f.dialogs.messages.at(i).text.trimmed().isEmpty())
            return false; // a box must say something
    }
    return now.messages > before.messages || now.log != before.log || now.status != before.status;
}

} // namespace

class TestHostileInput : public QObject
{
    Q_OBJECT
private slots:
    void field_data();
    void field();
    void decoderHandover_data();
    void decoderHandover();
    void repeatFieldsChangedDuringRun_data();
    void repeatFieldsChangedDuringRun();
};

QList<std::pair<const char *, QString>> hostileValues()
{
    return {
        {"empty", QString()},
        {"blanks", QStringLiteral("   \t ")},
        {"a megabyte", QString(1 << 20, u'9')},
        {"control characters",
         QStringLiteral("1\t\r\n\x01\x1b\x7f") + QChar(0) + QStringLiteral("2")},
        {"outside the BMP", QStringLiteral("😀𝔘1")},
        {"huge", QStringLiteral("1") + QString(400, u'0')},
        {"twenty nines", QStringLiteral("99999999999999999999")},
        {"negative", QStringLiteral("-5")},
        {"&H", QStringLiteral("&HFFFF")},
        {"bare &H", QStringLiteral("&H")},
        {"a half", QStringLiteral("0.5")},
        {"fifteen and a half", QStringLiteral("15.5")},
    };
}

void TestHostileInput::field_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    for (const QString &field : fieldNames) {
        for (const auto &[name, value] : hostileValues())
            QTest::addRow("%s: %s", qPrintable(field), name) << field << value;
    }
}

void TestHostileInput::field()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    ScriptedPeer peer;
    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) {
        socket->write(QByteArray::fromHex("01030200057847"));
    };
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowFixture f(true);
    if (usesSerialLink(field))
        useSerial(f, pty.slavePath(), QStringLiteral("50"), false);
    else
        useTcp(f, peer.port(), QStringLiteral("100"), false);
    f.ui().repeat->setText(QStringLiteral("10"));
    f.ui().rCNT->setText(QStringLiteral("1"));
    QLineEdit *box = fieldBox(f, field);
    QVERIFY(box);
    box->setText(value);
    // The box holds all of it. (The slot list's text keeps 32767 characters;
    // it only ever names a slot and is stored nowhere.)
    if (field != u"filecombo")
        QCOMPARE(box->text(), value);
    f.dialogs.clear();
    QElapsedTimer clock;
    clock.start();

    // Send: a reply or a time-out ends it; a wait the value made too long is
    // ended by Stop, as the user would.
    Seen before = seen(f);
    clickSend(f);
    if (!waitIdle(f, 1500)) {
        clickSend(f);
        QVERIFY(isIdle(f));
    }
    QVERIFY(userWasTold(f, before));
    QVERIFY(!f.ui().Timer->isActive());

    // CRC Calculate.
    before = seen(f);
    QTest::mouseClick(f.ui().crcCalc, Qt::LeftButton);
    QVERIFY(userWasTold(f, before));

    // Repeat Send: refused with a message, or a run (which may send nothing,
    // as with a start line above the stop line) that ends by itself or by
    // Stop Send.
    before = seen(f);
    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(userWasTold(f, before) || f.ui().Command2->text() == QLatin1String("Stop Send"));
    if (f.engine().isRepeating()) {
        QElapsedTimer run;
        run.start();
        while (!isRunEnded(f) && run.elapsed() < 1000)
            QTest::qWait(10);
        if (!isRunEnded(f))
            QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    } else {
        QCOMPARE(f.dialogs.messageTexts().mid(before.messages),
                 QStringList({"Repeat count error!"}));
    }
    QVERIFY(isRunEnded(f));
    if (!waitIdle(f, 1500)) {
        clickSend(f);
        QVERIFY(isIdle(f));
    }

    // Save setting, export, then import what was exported.
    QTest::mouseClick(f.ui().save, Qt::LeftButton);
    QCOMPARE(f.ui().status->text(), QStringLiteral("Save File config1.ini Success."));
    const QString exported = f.folder.filePath(QStringLiteral("exported.ini"));
    f.dialogs.files.push_back(exported);
    const qsizetype boxesBefore = f.dialogs.messages.size();
    QTest::mouseClick(f.ui().Command4, Qt::LeftButton);
    QCOMPARE(f.dialogs.messageTexts().mid(boxesBefore), QStringList({"    Save Success.   "}));
    box->setText(QStringLiteral("something else"));
    f.dialogs.files.push_back(exported);
    QTest::mouseClick(f.ui().Command3, Qt::LeftButton);
    QCOMPARE(f.ui().status->text(), QStringLiteral("Load Save File config1.ini Success."));
    if (inConfigurationSet(field) && survivesConfigFile(value))
        QCOMPARE(box->text(), value);

    QVERIFY2(clock.elapsed() < 10000, "every action answers at once");
}

void TestHostileInput::decoderHandover_data()
{
    QTest::addColumn<QString>("value");
    for (const auto &[name, value] : hostileValues())
        QTest::newRow(name) << value;
}

// What a double-click on the log hands over, whatever it is, is described once
// and at once.
void TestHostileInput::decoderHandover()
{
    QFETCH(QString, value);
    WindowFixture f(true);
    QElapsedTimer clock;
    clock.start();
    DecoderWindow::handOver(value);
    QVERIFY(DecoderWindow::instance());
    QTRY_VERIFY_WITH_TIMEOUT(DecoderWindow::instance()->boxText().size() > value.size(), 5000);
    // The description follows the text as it was handed over (a CR LF
    // pair counts as one line break in the box).
    QString handedOver = value;
    handedOver.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QVERIFY(DecoderWindow::instance()->boxText().size() >= handedOver.size());
    DecoderWindow::instance()->close();
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
}

void TestHostileInput::repeatFieldsChangedDuringRun_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    for (const char *field : {"repeat", "rpStart", "rpStop", "rCNT"}) {
        for (const char *value :
             {"", "1e400", "-5", "&HFFFFFFFFFFFFFFFFFFFF", "0.4", "99999999999"})
            QTest::addRow("%s: \"%s\"", field, value) << field << value;
    }
    QTest::addRow("repeat: 1 followed by 400 zeros")
        << "repeat" << QStringLiteral("1") + QString(400, u'0');
}

// The run reads its fields again at every pass: a value typed while it runs
// must not break it.
void TestHostileInput::repeatFieldsChangedDuringRun()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    ScriptedPeer peer;
    peer.onRequest = [](QTcpSocket *socket, const QByteArray &) {
        socket->write(QByteArray::fromHex("01030200057847"));
    };
    WindowFixture f(true);
    useTcp(f, peer.port(), QStringLiteral("100"), true);
    f.ui().rpStart->setText(QStringLiteral("1"));
    f.ui().rpStop->setText(QStringLiteral("2"));
    f.ui().rCNT->setText(QStringLiteral("3"));
    f.ui().repeat->setText(QStringLiteral("30"));

    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QVERIFY(f.engine().isRepeating());
    QTRY_VERIFY_WITH_TIMEOUT(peer.connections == 1 && !peer.received.isEmpty(), 2000);
    fieldBox(f, field)->setText(value);
    QElapsedTimer run;
    run.start();
    while (!isRunEnded(f) && run.elapsed() < 800)
        QTest::qWait(10);
    if (!isRunEnded(f)) {
        // A pause the new value made endless: Stop Send still ends the run,
        // or says why it cannot.
        QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
        if (!isRunEnded(f)) {
            QCOMPARE(f.dialogs.messageTexts().last(), QStringLiteral("Repeat count error!"));
            fieldBox(f, field)->setText(QStringLiteral("1"));
            QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
        }
    }
    QVERIFY(isRunEnded(f));
    QVERIFY(waitIdle(f));
    // The window still works.
    f.window->log().clear();
    clickSend(f);
    QVERIFY(waitIdle(f));
    QVERIFY(logLines(f.logText()).contains(QStringLiteral("接收 < 0103020005 7847")));
}

QTEST_MAIN(TestHostileInput)
#include "tst_hostile_input.moc"
