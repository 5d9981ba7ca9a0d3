// The main window's controls bound to the engine: the real window, offscreen,
// clicked and typed into, its timers running, its TCP peer on loopback. The
// rules behind each action are tested on the engine; here one row each shows
// that the window passes the right fields and shows the answer. CRCs: pymodbus
// 3.0 utilities.computeCRC, computed once.
#include "support/peers.h"
#include "support/window_fixture.h"
#include "ui/log_box.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace tallowick;
using namespace tallowick::test;

namespace {

// Once the event loop runs (inside the dialog's own), hands the visible
// top-level dialog of type T to `answer`.
template <typename T> void whenShown(std::function<void(T *)> answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<T *>(widget); dialog && dialog->isVisible())
                return answer(dialog);
        }
    });
}

} // namespace

class TestWindowBinding : public QObject
{
    Q_OBJECT
private slots:
    void boxesAndCaptions_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("status"); // "-": left as it was
        QTest::addColumn<QStringList>("log");
        const auto row = [](const char *name, const QString &script, const QStringList &boxes,
                            const QString &status, const QStringList &log = {""}) {
            QTest::newRow(name) << script << boxes << status << log;
        };
        const QString nines(1 << 20, u'9');
        row("settings", "address=; click send", {"IP is Null."}, "Check IP setting.");
        row("label click", "address=; click Label7_2", {"IP is Null."}, "Send command3");
        row("line index, a megabyte long", "sendCnt=" + nines + "; click send",
            {"Error Command Line Index."}, "-", {"-----沒有指令 " + nines + "-----", "", ""});
        // This refusal adds one more line break after the whole log.
        row("line of CRC Calculate", "click crcCalc; sendCnt=; click crcCalc",
            {"Command Input Error"}, "-",
            {"-----沒有指令 -----", "", "CRC計算 CMD1：> 030102030405 0E93", "", "", ""});
        row("time-out too large", "timeout=1" + QString(400, u'0') + "; click send",
            {"Timeout is too large: at most 2147483647 ms."}, "Check Timeout setting.");
        row("port", "port=65536; click send", {"Port must be a whole number from 1 to 65535."},
            "Check Port setting.");
        row("COM port", "click modeSelect; comSelect=😀𝔘1; click send",
            {"Error port setting|16|COM Port Error"}, "Check COM Port setting.");
        // Refused before any device is opened; Stop then takes the time-out path.
        row("line settings",
            "click modeSelect; timeout=600000; comSelect=/dev/null; configCOM=9600,x,8,1; "
            "click send; click send",
            {"Error configure setting|16|COM Port Error"}, "No Connected.",
            {"-------關閉連線-------", "", "--------無回應--------", "", ""});
        row("repeat count", "rCNT=99999999999999999999; click Command2", {"Repeat count error!"},
            "-", {"----輸入重複次數----", "", ""});
        row("repeat pause", "rCNT=1; repeat=0; click Command2", {"Repeat count error!"}, "-",
            {"----輸入重複次數----", "", ""});
        row("CRC Calculate", "address=; click crcCalc", {}, "-",
            {"CRC計算 CMD1：> 030102030405 0E93", "", ""});
        row("CRC Calculate, CRC off", "crcEN=0; sendCnt=2; click crcCalc", {}, "-",
            {"CRC計算 CMD2：> 030102030405", "", ""});
        row("line rejected",
            QStringLiteral("cmd_0=1\t\r\n\x01\x1b\x7f") + QChar(0) + "2; click crcCalc", {},
            "輸入錯誤");
    }

    void boxesAndCaptions()
    {
        WindowFixture f(true);
        f.ui().status->setText(QStringLiteral("-"));
        f.dialogs.clear();
        QFETCH(QString, script);
        f.play(script);
        QStringList boxes = f.dialogs.shown();
        QTEST(boxes.replaceInStrings(QStringLiteral("|16|Tallowick"), QString()), "boxes");
        QTEST(f.ui().status->text(), "status");
        QTEST(logLines(f.logText()), "log");
        for (const QString &line : f.logText().split(QStringLiteral("\r\n")))
            QVERIFY(line.isEmpty() || line.contains(timeStamp));
        QVERIFY(f.isIdle());
    }

    // The first click of a double-click sends the line; the double-click locks
    // the line, and while a reply is awaited a click only locks or unlocks. Stop
    // ends the wait as the time-out does.
    void labelClickAndLock()
    {
        LoopbackPeer peer;
        WindowFixture f(true);
        f.play("port=" + peer.port() + "; timeout=600000");
        QWidget *label = f.ui().Label7[1];
        QTest::mouseClick(label, Qt::LeftButton);
        QTest::mouseDClick(label, Qt::LeftButton);
        QTest::mouseRelease(label, Qt::LeftButton);
        QCOMPARE(f.ui().sendCnt->text(), QStringLiteral("2"));
        QCOMPARE(f.ui().status->text(), QStringLiteral("Send command2"));
        QVERIFY(!f.ui().cmd[1]->isEnabled() && !f.ui().noteText[1]->isEnabled());
        QVERIFY(f.ui().cmd[0]->isEnabled());
        QCOMPARE(f.ui().send->text(), QStringLiteral("Stop"));
        QVERIFY(!f.ui().modeSelect->isEnabled() && f.ui().Timer->isActive());
        QCOMPARE(f.ui().Timer->interval(), 600000);
        QTRY_COMPARE_WITH_TIMEOUT(peer.received, QByteArray::fromHex("0301020304050E93"), 20000);

        const QString log = f.logText();
        QTest::mouseClick(f.ui().Label7[4], Qt::LeftButton);
        QTest::mouseClick(label, Qt::LeftButton);
        QTest::mouseDClick(label, Qt::LeftButton);
        QVERIFY(f.ui().cmd[1]->isEnabled() && f.ui().noteText[1]->isEnabled());
        QCOMPARE(f.ui().sendCnt->text(), QStringLiteral("2"));
        QCOMPARE(f.logText(), log);

        QTest::mouseClick(f.ui().send, Qt::LeftButton); // Stop: the time-out's path
        QVERIFY(f.isIdle());
        QCOMPARE(logLines(f.logText()),
                 QStringList({"-------關閉連線-------", "", "--------無回應--------", "",
                              "傳送CMD2： > 030102030405 0E93", "", "-------正在連線-------", "",
                              "IP:127.0.0.1:" + peer.port(), "", ""}));
        QCOMPARE(f.ui().status->text(), QStringLiteral("No Connected."));
        QCOMPARE(peer.received, QByteArray::fromHex("0301020304050E93"));

        // A time-out below 1 ms runs for 1 ms, and the window's timer ends it.
        f.play("timeout=0.5; click send");
        QCOMPARE(f.ui().Timer->interval(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(f.isIdle(), 20000);
        QCOMPARE(logLines(f.logText()).mid(0, 3),
                 QStringList({"-------關閉連線-------", "", "--------無回應--------"}));

        // "保持連線" reaches the engine: the link stays open after the reply, and
        // the state label shows it connected.
        peer.answer = [] { return QByteArray::fromHex("01030200057847"); };
        f.play("timeout=600000; cmd_1=010300000001; connect_1=1; click send");
        QVERIFY(f.waitIdle(20000));
        QCOMPARE(logLines(f.logText()).mid(0, 8),
                 QStringList({"接收 < 0103020005 7847", "傳送CMD2： > 010300000001 840A", "",
                              "-------正在連線-------", "", "IP:127.0.0.1:" + peer.port(), "",
                              "-------關閉連線-------"}));
        QTest::keyClick(f.ui().send, '-');
        QTRY_COMPARE_WITH_TIMEOUT(f.ui().winsockstatus->text(), QStringLiteral("winsock status :7"),
                                  20000);
        QTest::keyClick(f.ui().send, '-');
    }

    void modeAndKeys()
    {
        WindowFixture f(true);
        for (bool serial : {true, false}) {
            QTest::mouseClick(f.ui().modeSelect, Qt::LeftButton);
            QCOMPARE(f.engine().serialMode(), serial);
            QCOMPARE(f.ui().comset->isVisible(), serial);
            QCOMPARE(f.ui().ipSet->isVisible(), !serial);
        }
        // The keys work wherever they are typed, and still reach the box.
        QLineEdit *line = f.ui().cmd[0];
        line->setFocus();
        QTest::keyClick(line, '-');
        QVERIFY(f.ui().winsockstatus->isVisible() && f.ui().winsockchk->isActive());
        QCOMPARE(f.ui().winsockchk->interval(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(f.ui().winsockstatus->text(), QStringLiteral("winsock status :0"),
                                  20000);
        QVERIFY(f.ui().winsockchk->isActive()); // its tick arms it again
        QTest::keyClick(line, '-');
        QVERIFY(!f.ui().winsockstatus->isVisible() && !f.ui().winsockchk->isActive());
        for (bool shown : {true, false}) {
            QTest::keyClick(line, '=');
            QCOMPARE(f.ui().Frame6->isVisible(), shown);
            QCOMPARE(f.ui().Frame5->isVisible(), shown);
        }
        QCOMPARE(line->text(), QStringLiteral("030102030405--=="));
        QCOMPARE(f.logText(), QString());
    }

    // Without a test's answers the seam shows the real boxes: the icon and
    // buttons the message asks for, the answer of the button pressed.
    void realMessageBoxes()
    {
        using enum MessageIcon;
        using enum MessageButtons;
        const QStringList icons{"NoIcon", "Information", "Warning", "Critical"};
        const std::tuple<MessageIcon, MessageButtons, QMessageBox::StandardButton, QString,
                         MessageAnswer>
            rows[] = {{Critical, Ok, QMessageBox::Ok, "Critical OK", MessageAnswer::Ok},
                      {Exclamation, Ok, QMessageBox::Ok, "Warning OK", MessageAnswer::Ok},
                      {Information, Ok, QMessageBox::Ok, "Information OK", MessageAnswer::Ok},
                      {None, Ok, QMessageBox::Ok, "NoIcon OK", MessageAnswer::Ok},
                      {Exclamation, YesNo, QMessageBox::No, "Warning Yes No", MessageAnswer::No},
                      {None, YesNo, QMessageBox::Yes, "NoIcon Yes No", MessageAnswer::Yes}};
        for (const auto &[icon, buttons, press, shown, answer] : rows) {
            QString seen;
            whenShown<QMessageBox>([&seen, &icons, press](QMessageBox *box) {
                seen = box->windowTitle() + u' ' + box->text() + u' ' + icons.value(box->icon());
                for (const auto button : {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::No})
                    seen += box->standardButtons() & button
                                ? u' ' + box->button(button)->text().remove(u'&')
                                : QString();
                box->button(press)->click();
            });
            QVERIFY(dialogs::message(nullptr, {QStringLiteral("Sure?"), {}, icon, buttons}) ==
                    answer);
            QCOMPARE(seen, "Tallowick Sure? " + shown);
        }
    }

    // The real file dialog: the program's filter with the text files chosen;
    // Save replaces a file without asking, Open takes a name that names none.
    void realFileDialogs()
    {
        for (const auto mode : {FileDialogMode::Save, FileDialogMode::Open}) {
            QString seen;
            whenShown<QFileDialog>([&seen](QFileDialog *dialog) {
                seen = dialog->nameFilters().join(u'|') + u' ' + dialog->selectedNameFilter() +
                       (dialog->testOption(QFileDialog::DontConfirmOverwrite) ? " replaces" : "") +
                       (dialog->fileMode() == QFileDialog::AnyFile ? " any" : "");
                dialog->selectFile(QDir::temp().filePath(QStringLiteral("tallowick-none.txt")));
                QMetaObject::invokeMethod(dialog, "accept");
            });
            const auto chosen = dialogs::fileName(nullptr, {mode, textFileFilter, 2});
            QCOMPARE(chosen.value_or(QString()),
                     QDir::temp().filePath(QStringLiteral("tallowick-none.txt")));
            QCOMPARE(seen, QStringLiteral("All Files (*.*)|Text Files(*.txt) Text Files(*.txt)") +
                               (mode == FileDialogMode::Save ? " replaces any" : " any"));
        }
        whenShown<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
        QVERIFY(!dialogs::fileName(nullptr, {FileDialogMode::Open, textFileFilter, 2}));
    }

    void repeatClick()
    {
        LoopbackPeer peer(QByteArray::fromHex("01030200057847"));
        WindowFixture f(true);
        f.play("port=" + peer.port() +
               "; timeout=600000; cmd_1=010300000001; rpStart=2; rpStop=2; rCNT=2; repeat=20");
        QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
        QCOMPARE(f.ui().Command2->text(), QStringLiteral("Stop Send"));
        QVERIFY(f.ui().repTimer->isActive());
        QCOMPARE(f.ui().repTimer->interval(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(f.isIdle(), 20000);
        const QStringList exchange{"-------關閉連線-------",
                                   "",
                                   "接收 < 0103020005 7847",
                                   "傳送CMD2： > 010300000001 840A",
                                   "",
                                   "-------正在連線-------",
                                   "",
                                   "IP:127.0.0.1:" + peer.port(),
                                   ""};
        QCOMPARE(logLines(f.logText()), exchange + exchange + QStringList{""});
        QCOMPARE(peer.received, QByteArray::fromHex("010300000001840A010300000001840A"));
    }
};

QTEST_MAIN(TestWindowBinding)
#include "tst_main_window.moc"
