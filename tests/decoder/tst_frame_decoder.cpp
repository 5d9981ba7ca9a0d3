// The frame decoder and its window. Descriptions written out by hand from the
// frame layouts and labels (worked examples 010304000A0014 and
// 01100001000204000A0102); in the tables "|" stands for CR LF and {x} for a
// label. More texts are seeds in fuzz/corpus/frame_decoder.
#include "decoder/frame_decoder.h"
#include "support/window_fixture.h"
#include "ui/decoder_window.h"
#include "ui/log_box.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

using namespace tallowick;
using namespace tallowick::test;
using namespace std::chrono_literals;

namespace {

QString expand(QString text)
{
    static const QList<std::pair<QString, QString>> labels{
        {"{R}", "Response Slave ID-------:"},    {"{Q}", "Requset Slave ID---------:"},
        {"{S}", "Slave ID-------------------:"}, {"{F}", "Function Code------------:"},
        {"{C}", "Response DataCount----:"},      {"{A}", "Start Address--------------:"},
        {"{N}", "Read Count----------------:"},  {"{W}", "Write Address------------:"},
        {"{K}", "Write Count--------------:"},   {"{WS}", "Write Start address-------:"},
        {"{WC}", "Write Count---------------:"}, {"{B}", "Data Byte------------------:"},
        {"{D}", "----------------------:"},      {"{WD}", "---------------:"},
        {"{n}", "Non-standard Modbus "},         {"{f}", " function :'("},
        {"{u}", "||Unknow command :'("}};
    for (const auto &[token, label] : labels)
        text.replace(token, label);
    return text.replace(u'|', QStringLiteral("\r\n"));
}

const QString m03 = "||Modbus 03 Response :)||{R}01|{F}03|{C}";
const QString q03 = "||Modbus 03 Request :)||{Q}01|{F}03|{A}0000|{N}0002";
const QString f06 = "||Modbus 06 Function :)||{S}01|{F}06|{W}";
const QString q10 = "||Modbus 10 Request :)||{R}";
const QString w10 = "||Modbus 10 Requset :)||{Q}01|{F}10|{WS}0001|{WC}0002|{B}";
const QString example = QStringLiteral("010304000A0014");
const QString exampleData = "04|Data1{D}000A|Data2{D}0014";

DecoderWindow *window()
{
    return DecoderWindow::instance();
}

template <typename T = QPushButton> T *control(const char *name)
{
    return window()->findChild<T *>(QLatin1String(name));
}

// Hands the text to the closed window, which describes it once the event
// loop runs.
void openDescribed(const QString &text)
{
    QVERIFY(!window());
    DecoderWindow::handOver(text);
    QVERIFY(window() && window()->isVisible());
    QCOMPARE(window()->boxText(), text);
    QTRY_COMPARE_WITH_TIMEOUT(window()->boxText(), parseCommand(text), 5000);
    QVERIFY(!control<QTimer>("Timer1")->isActive());
}

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT
private slots:
    void describe_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("appended");
        const auto row = [](const char *name, const QString &text, const QString &appended) {
            QTest::newRow(name) << text << appended;
        };
        row("03 response", example, m03 + exampleData);
        row("03 request", "010300000002", q03);
        row("03 twelve digits, count 03", "010303000002", m03 + "03|Data1{D}0000|Data2{D}02|");
        row("03 without data", "010300", m03 + "00");
        row("03 with its CRC", "010300000002C40B", "||{n}03{f}");
        row("03 line break counts", "010300000002|", "||{n}03{f}");
        row("leading tab counts: read as 10", "\t010300000002", "||{n}10{f}");
        // Byte counts: blanks, tabs and line feeds skipped, others end them.
        row("03 count with a blank", "0103 2ABCD", m03 + " 2|Data1{D}ABCD");
        row("03 count cut by a CR", "0103\r2ABCD", "||{n}03{f}");
        row("03 count of no digits", "0103G2", m03 + "G2");
        row("03 count in lower case", "01030f" + QString(30, u'0'),
            m03 + "0f|Data1{D}0000|Data2{D}0000|Data3{D}0000|Data4{D}0000|Data5{D}0000|"
                  "Data6{D}0000|Data7{D}0000|Data8{D}00|");
        row("04 response, lower case", "01040aAAAABBBBCCCCDDDDeeee",
            "||Modbus 04 Response :)||{R}01|{F}04|{C}0a|Data1{D}AAAA|Data2{D}BBBB|"
            "Data3{D}CCCC|Data4{D}DDDD|Data5{D}eeee");
        row("04 request", "110400080001", "||Modbus 04 Request :)||{Q}11|{F}04|{A}0008|{N}0001");
        row("04 non-standard", "0104000000", "||{n}04{f}");
        row("06", "010600010003", f06 + "0001|{K}0003");
        row("06 short: fields run on", "0106", f06 + "|||{K}Modb");
        row("06 thirteen characters", "0106000100030", "||{n}06{f}");
        row("10 request", "01100001000204000A0102",
            w10 + "04|Write Data1{WD}000A|Write Data2{WD}0102");
        row("10 odd data", "01100001000203000102",
            w10 + "03|Write Data1{WD}0001|Write Data2{WD}02|");
        row("10 twelve digits", "011000010002", q10 + "01|{F}10|{A}0001|{WC}0002");
        row("10 non-standard", "0110000100020400", "||{n}10{f}");
        row("leading blank: read as 10", " 010300000002", q10 + " 0|{F}10|{A}3000|{WC}0000");
        row("empty", "", "{u}");
        row("0A", "010A0000", "{u}");
        row("03 again", example + m03 + exampleData, "||{n}03{f}");
        // Lengths at which a 16-bit count would wrap to one that qualifies.
        row("03, 65548 digits", "0103" + QString(65544, u'0'), "||{n}03{f}");
    }

    void describe()
    {
        QFETCH(QString, text);
        QFETCH(QString, appended);
        QCOMPARE(parseCommand(expand(text)), expand(text) + expand(appended));
    }

    // Its controls, where they sit, their captions and their tab order.
    void controls()
    {
        DecoderWindow w;
        // Read before the event loop runs: the window describes its text once it does.
        QCOMPARE(w.windowTitle() + w.boxText(), QStringLiteral("getStringBoxText1"));
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.size() == QSize(755, 251) && w.minimumSize() == w.maximumSize());
        QStringList shown;
        for (QWidget *focus = w.findChild<QWidget *>(QStringLiteral("getString")); shown.size() < 4;
             focus = focus->nextInFocusChain()) {
            if (auto *button = qobject_cast<QPushButton *>(focus); button || shown.isEmpty())
                shown << QStringLiteral("%1 %2 %3,%4,%5,%6")
                             .arg(focus->objectName(), button ? button->text() : QString())
                             .arg(focus->x())
                             .arg(focus->y())
                             .arg(focus->width())
                             .arg(focus->height());
        }
        QCOMPARE(shown,
                 QStringList({"getString  16,8,721,193", "close close 576,216,153,25",
                              "Command1 Parsing 16,216,113,25", "Command2 Clear 144,216,105,25"}));
    }

    void cleanup() { delete window(); }

    void handOver()
    {
        // CR LF are two characters of the text.
        for (const QString &text :
             {QString(), "010300000002\r\n" + QString(40000, u' '), example}) {
            delete window();
            openDescribed(text);
        }
        // To the open window: the text replaced, nothing armed again.
        QPointer<DecoderWindow> opened = window();
        DecoderWindow::handOver(QStringLiteral("010300000002"));
        QVERIFY(window() == opened && !control<QTimer>("Timer1")->isActive());
        // A precise timer started now expires after a one-shot description
        // armed by the hand-over would have (1 ms): by then the text would
        // have been described.
        QTimer marker;
        marker.setSingleShot(true);
        marker.setTimerType(Qt::PreciseTimer);
        QSignalSpy markerFired(&marker, &QTimer::timeout);
        marker.start(2ms);
        QVERIFY(markerFired.wait(10000));
        QCOMPARE(window()->boxText(), QStringLiteral("010300000002"));
        const auto click = [](const char *name, const QString &box) {
            QTest::mouseClick(control(name), Qt::LeftButton);
            QCOMPARE(window()->boxText(), expand(box));
        };
        click("Command1", "010300000002" + q03);
        click("Command1", "010300000002" + q03 + "||{n}03{f}");
        click("Command2", "");
        click("Command1", "{u}");
        click("Command2", "");
        // The Enter is a CR LF: the write address takes it and the header's first break.
        QTest::keyClicks(control<QPlainTextEdit>("getString"), QStringLiteral("0106"));
        QTest::keyClick(control<QPlainTextEdit>("getString"), Qt::Key_Return);
        click("Command1", "0106|" + f06 + "|||{K}|Mo");
        QCOMPARE(window(), opened.data());
    }

    // By the close button or a click on the window's background.
    void closing()
    {
        for (const auto &[target, at] :
             {std::pair{"close", QPoint(10, 10)}, {"", QPoint(400, 228)}, {"", QPoint(50, 208)}}) {
            openDescribed(example);
            QPointer<DecoderWindow> closed = window();
            QWidget *widget = *target ? closed->findChild<QWidget *>(target) : closed.data();
            QTest::mouseClick(widget, Qt::LeftButton, {}, at);
            openDescribed(QString()); // at once: a fresh window, armed again
            QVERIFY(window() != closed);
            QTRY_VERIFY_WITH_TIMEOUT(closed.isNull(), 5000);
            delete window();
        }
    }

    // A double-click on the log selects the word under the mouse and hands it
    // to a window of its own, leaving the main window usable.
    void doubleClickOnTheLog()
    {
        WindowFixture f(true);
        f.window->log().addEntry(QStringLiteral("接收 < 010304000A0014 3EDA"), 1);
        QTextCursor word = f.ui().getMsg->document()->find(example);
        word.setPosition(word.selectionStart() + 5);
        QTest::mouseDClick(f.ui().getMsg->viewport(), Qt::LeftButton, {},
                           f.ui().getMsg->cursorRect(word).center());
        QVERIFY(window() && !window()->parentWidget());
        QTRY_COMPARE_WITH_TIMEOUT(window()->boxText(), expand(example + m03 + exampleData), 5000);
        QVERIFY(f.window->isEnabled() && !QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TestDecoder)
#include "tst_frame_decoder.moc"
