// Expected descriptions written out by hand from the decoder's worked example
// 010304000A0014. The CRC 3EDA of that frame in the log comes from pymodbus
// 3.0's pymodbus.utilities.computeCRC (Debian python3-pymodbus).
#include "decoder/decoder_window.h"
#include "support/window_fixture.h"
#include "ui/log_box.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

using namespace tallowick;
using namespace tallowick::test;

class TestDecoderWindow : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void handOverToClosedWindow_data();
    void handOverToClosedWindow();
    void handOverToOpenWindow();
    void parsingTwice();
    void clearThenParsing();
    void typedTextWithEnter();
    void closing_data();
    void closing();
    void doubleClickOnTheLog();
};

namespace {

const QString workedExample = QStringLiteral("010304000A0014");
const QString workedExampleDescribed =
    QStringLiteral("010304000A0014\r\n\r\nModbus 03 Response :)\r\n\r\n"
                   "Response Slave ID-------:01\r\nFunction Code------------:03\r\n"
                   "Response DataCount----:04\r\nData1----------------------:000A\r\n"
                   "Data2----------------------:0014");
const QString emptyDescribed = QStringLiteral("\r\n\r\nUnknow command :'(");

template <typename T> T *control(const char *name)
{
    return DecoderWindow::instance()->findChild<T *>(QLatin1String(name));
}

QString boxText()
{
    return DecoderWindow::instance()->boxText();
}

// Hands the text over and waits for the automatic description.
void openDescribed(const QString &text, const QString &described)
{
    DecoderWindow::handOver(text);
    QTRY_COMPARE_WITH_TIMEOUT(boxText(), described, 5000);
}

} // namespace

void TestDecoderWindow::cleanup()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<DecoderWindow *>(widget))
            delete widget;
    }
    QVERIFY(!DecoderWindow::instance());
}

void TestDecoderWindow::handOverToClosedWindow_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("described");
    QTest::newRow("frame") << workedExample << workedExampleDescribed;
    QTest::newRow("nothing selected") << QString() << emptyDescribed;
    QTest::newRow("CR LF kept as two characters")
        << "010300000002\r\n"
        << "010300000002\r\n\r\n\r\nNon-standard Modbus 03 function :'(";
    QTest::newRow("40000 characters") << "010300000002" + QString(40000, u' ')
                                      << "010300000002" + QString(40000, u' ') +
                                             "\r\n\r\nModbus 03 Request :)\r\n\r\n"
                                             "Requset Slave ID---------:01\r\n"
                                             "Function Code------------:03\r\n"
                                             "Start Address--------------:0000\r\n"
                                             "Read Count----------------:0002";
}

void TestDecoderWindow::handOverToClosedWindow()
{
    QFETCH(QString, text);
    QFETCH(QString, described);
    DecoderWindow::handOver(text);
    QVERIFY(DecoderWindow::instance());
    QVERIFY(DecoderWindow::instance()->isVisible());
    QCOMPARE(boxText(), text); // described only once the event loop runs
    QTRY_COMPARE_WITH_TIMEOUT(boxText(), described, 5000);
    QVERIFY(!control<QTimer>("Timer1")->isActive());
}

void TestDecoderWindow::handOverToOpenWindow()
{
    openDescribed(workedExample, workedExampleDescribed);
    DecoderWindow *window = DecoderWindow::instance();
    DecoderWindow::handOver(QStringLiteral("010300000002"));
    QCOMPARE(DecoderWindow::instance(), window);
    QVERIFY(!control<QTimer>("Timer1")->isActive());
    QTest::qWait(50);
    QCOMPARE(boxText(), QStringLiteral("010300000002"));

    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(boxText(), QStringLiteral("010300000002\r\n\r\nModbus 03 Request :)\r\n\r\n"
                                       "Requset Slave ID---------:01\r\n"
                                       "Function Code------------:03\r\n"
                                       "Start Address--------------:0000\r\n"
                                       "Read Count----------------:0002"));
}

void TestDecoderWindow::parsingTwice()
{
    openDescribed(workedExample, workedExampleDescribed);
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(boxText(), workedExampleDescribed + "\r\n\r\nNon-standard Modbus 03 function :'(");
}

void TestDecoderWindow::clearThenParsing()
{
    openDescribed(workedExample, workedExampleDescribed);
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    QCOMPARE(boxText(), QString());
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    QCOMPARE(boxText(), emptyDescribed);
}

void TestDecoderWindow::typedTextWithEnter()
{
    openDescribed(QString(), emptyDescribed);
    QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
    auto *box = control<QPlainTextEdit>("getString");
    QTest::keyClicks(box, QStringLiteral("0106"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    // The Enter is a CR LF: the write address takes it and the header's first break.
    QCOMPARE(boxText(), QStringLiteral("0106\r\n\r\n\r\nModbus 06 Function :)\r\n\r\n"
                                       "Slave ID-------------------:01\r\n"
                                       "Function Code------------:06\r\n"
                                       "Write Address------------:\r\n\r\n\r\n"
                                       "Write Count--------------:\r\nMo"));
}

void TestDecoderWindow::closing_data()
{
    QTest::addColumn<QString>("target"); // empty: the window's background
    QTest::addColumn<QPoint>("position");
    QTest::newRow("close button") << "close" << QPoint(10, 10);
    QTest::newRow("between the buttons") << QString() << QPoint(400, 228);
    QTest::newRow("below the text box") << QString() << QPoint(50, 208);
}

void TestDecoderWindow::closing()
{
    QFETCH(QString, target);
    QFETCH(QPoint, position);
    openDescribed(workedExample, workedExampleDescribed);
    QPointer<DecoderWindow> window = DecoderWindow::instance();
    QWidget *widget = target.isEmpty() ? window.data() : window->findChild<QWidget *>(target);
    QTest::mouseClick(widget, Qt::LeftButton, {}, position);
    QVERIFY(!DecoderWindow::instance());

    // A handover right away loads a fresh, armed window.
    openDescribed(QString(), emptyDescribed);
    QVERIFY(DecoderWindow::instance() != window);
    QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 5000);
}

void TestDecoderWindow::doubleClickOnTheLog()
{
    WindowFixture fixture(true);
    Controls &ui = fixture.ui();
    fixture.window->log().addEntry(QStringLiteral("接收 < 010304000A0014 3EDA"), 1);
    QTextCursor word = ui.getMsg->document()->find(workedExample);
    QVERIFY(!word.isNull());
    word.setPosition(word.selectionStart() + 5);
    const QPoint inWord = ui.getMsg->cursorRect(word).center();
    QTest::mouseDClick(ui.getMsg->viewport(), Qt::LeftButton, {}, inWord);

    QVERIFY(DecoderWindow::instance());
    QVERIFY(!DecoderWindow::instance()->parentWidget());
    QTRY_COMPARE_WITH_TIMEOUT(boxText(), workedExampleDescribed, 5000);
    QVERIFY(fixture.window->isEnabled());
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestDecoderWindow)
#include "tst_decoder_window.moc"
