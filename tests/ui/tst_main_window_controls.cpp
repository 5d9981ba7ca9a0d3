#include "support/scripted_dialogs.h"
#include "ui/log_box.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHostAddress>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace tallowick;
using namespace tallowick::test;

// The main window as it stands after start-up: its controls, their captions,
// defaults, fonts and grouping, the focus and the icon.
class TestMainWindowControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void controls_data();
    void controls();
    void window();
    void defaultAddressIsPrivate();
    void fonts_data();
    void fonts();
    void chineseCaptionsHaveGlyphs();
    void commandRowsEqualAndEven();
    void groupsInScreenOrder();
    void linkFramesShareOnePlace();
    void framesLieOverLogNearItsLeftEdge();
    void logReachesBottomRow();
    void connectionStyleIsOneGroup();
    void timers();
    void sendHasFocusAndTabReachesEveryControl();
    void icon();

private:
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QTemporaryDir m_folder;
    std::unique_ptr<MainWindow> m_window;
    Controls &ui() { return m_window->controls(); }
};

namespace {

QString caption(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<const QAbstractButton *>(widget))
        return button->text();
    if (auto *frame = qobject_cast<const QGroupBox *>(widget))
        return frame->title();
    if (auto *box = qobject_cast<const QLineEdit *>(widget))
        return box->text();
    if (auto *combo = qobject_cast<const QComboBox *>(widget))
        return combo->currentText();
    if (auto *log = qobject_cast<const QPlainTextEdit *>(widget))
        return log->toPlainText();
    return {};
}

// Whether `widget` (or a control inside it) is what the user sees at `point`
// of its parent.
bool shownAt(QWidget *window, QWidget *widget, QPoint point)
{
    QWidget *top = window->childAt(widget->parentWidget()->mapTo(window, point));
    return top && (top == widget || widget->isAncestorOf(top));
}

bool hasCjk(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x2E80)
            return true;
    return false;
}

} // namespace

void TestMainWindowControls::initTestCase()
{
    // A window of its own, not the fixture's, so that `address` keeps its
    // default. Nothing here sends.
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_window = std::make_unique<MainWindow>(m_folder.path());
}

void TestMainWindowControls::cleanupTestCase()
{
    m_window.reset();
    m_dialogs.reset();
}

void TestMainWindowControls::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text"); // null: not fixed at this point

    const auto row = [](const QString &name, const char *kind, const QString &text) {
        QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(kind) << text;
    };
    row("ipSet", "QGroupBox", "IP Settings");
    row("Label1", "QLabel", "IP：");
    row("address", "QLineEdit", QString());
    row("Label2", "QLabel", "PORT：");
    row("port", "QLineEdit", "1560");
    row("comset", "QGroupBox", "Com port setting");
    row("Label8", "QLabel", "COM Port：");
    row("comSelect", "QLineEdit", "");
    row("baudrate", "QLabel", "Configure the seial line：");
    row("configCOM", "QLineEdit", "9600,n,8,1");
    row("modeSelect", "QPushButton", "Mode");
    row("Frame2", "QGroupBox", "Connection Settings");
    row("Label3", "QLabel", "Timeout：");
    row("timeout", "QLineEdit", "3000");
    row("connect_0", "QRadioButton", "間斷連線");
    row("connect_1", "QRadioButton", "保持連線");
    row("Frame3", "QGroupBox", "Repeat Send");
    row("Label4", "QLabel", "Repeat Time：");
    row("repeat", "QLineEdit", "1000");
    row("Label5", "QLabel", "Repeat：");
    row("rpStart", "QLineEdit", "1");
    row("Label6", "QLabel", "～");
    row("rpStop", "QLineEdit", "1");
    row("rCNT", "QLineEdit", "");
    row("Command2", "QPushButton", "Repeat Send");
    row("Frame4", "QGroupBox", "Command Line");
    row("filename", "QLabel", "config1："); // start-up's caption
    row("filetitle", "QLineEdit", "fileName");
    row("filecombo", "QComboBox", "config1");
    row("save", "QPushButton", "Save setting");
    row("Line1", "QFrame", "");
    for (int i = 0; i < 15; ++i) {
        row(QStringLiteral("Label7_%1").arg(i), "tallowick::ClickableLabel",
            QStringLiteral("CMD%1：").arg(i + 1));
        row(QStringLiteral("cmd_%1").arg(i), "QLineEdit", "030102030405");
        row(QStringLiteral("noteText_%1").arg(i), "QLineEdit", "");
    }
    row("sendCnt", "QLineEdit", "1");
    row("crcEN", "QCheckBox", "CRC EN");
    row("send", "QPushButton", "Send");
    row("crcCalc", "QPushButton", "CRC Calculate");
    row("savelog", "QPushButton", "Save Log");
    row("Command1", "QPushButton", "Clear");
    row("status", "QLabel", QString()); // start-up's load result
    row("winsockstatus", "QLabel", "Initial....");
    row("ver", "QLabel", "1311141140");
    row("getMsg", "tallowick::LogBox", "");
    row("Frame6", "QGroupBox", "Im/Export config file");
    row("Command3", "QPushButton", "Import config file");
    row("Command4", "QPushButton", "Export config file");
    row("Frame5", "QGroupBox", "Kill file menu");
    for (int i = 0; i < 5; ++i)
        row(QStringLiteral("killCmd_%1").arg(i), "QPushButton",
            QStringLiteral("Kill config%1.ini").arg(i + 1));
    row("killCmd_5", "QPushButton", "Kill All Files");
}

void TestMainWindowControls::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    const QList<QWidget *> found = m_window->findChildren<QWidget *>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QString::fromLatin1(found.first()->metaObject()->className()), kind);
    if (!text.isNull())
        QCOMPARE(caption(found.first()), text);
}

void TestMainWindowControls::window()
{
    QCOMPARE(m_window->objectName(), QStringLiteral("Form1"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Tallowick"));
    QCOMPARE(m_window->size(), QSize(1006, 644));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QVERIFY(ui().crcEN->isChecked());
    QVERIFY(ui().connect[0]->isChecked());
    QVERIFY(!ui().connect[1]->isChecked());
    QStringList items;
    for (int i = 0; i < ui().filecombo->count(); ++i)
        items << ui().filecombo->itemText(i);
    QCOMPARE(items, QStringList({"config1", "config2", "config3", "config4", "config5"}));
    QVERIFY(ui().filecombo->isEditable());
    QCOMPARE(ui().filecombo->currentIndex(), -1); // nothing selected, only the text shown
}

void TestMainWindowControls::defaultAddressIsPrivate()
{
    const QHostAddress address(ui().address->text());
    QCOMPARE(address.protocol(), QAbstractSocket::IPv4Protocol);
    // The three private IPv4 blocks: 10/8, 172.16/12 and 192.168/16. The
    // address is only looked at here, never connected to.
    const quint32 ip = address.toIPv4Address();
    const bool privateRange =
        (ip >> 24) == 10 || (ip >> 20) == ((172u << 4) | 1) || (ip >> 16) == ((192u << 8) | 168);
    QVERIFY2(privateRange, qPrintable(address.toString()));
}

void TestMainWindowControls::fonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");
    QTest::addColumn<qreal>("points");
    const QString ming = QStringLiteral("新細明體");
    for (const char *name :
         {"Label1", "Label2", "Label3", "Label4", "Label5", "Label6", "Label8", "getMsg"})
        QTest::newRow(name) << QString::fromLatin1(name) << ming << 11.25;
    for (int i = 0; i < 15; ++i)
        QTest::newRow(qPrintable(QStringLiteral("Label7_%1").arg(i)))
            << QStringLiteral("Label7_%1").arg(i) << ming << 11.25;
    QTest::newRow("sendCnt") << "sendCnt" << ming << 12.0;
    QTest::newRow("winsockstatus") << "winsockstatus" << ming << 8.25;
    QTest::newRow("ver") << "ver"
                         << "Consolas" << 8.25;
}

void TestMainWindowControls::fonts()
{
    QFETCH(QString, name);
    QFETCH(QString, family);
    QFETCH(qreal, points);
    auto *widget = m_window->findChild<QWidget *>(name);
    QVERIFY(widget);
    QCOMPARE(widget->font().families().value(0), family);
    QCOMPARE(widget->font().pointSizeF(), points);
}

// Every caption or default text with Chinese characters names, among its
// font's families, an installed face that has all of them.
void TestMainWindowControls::chineseCaptionsHaveGlyphs()
{
    int checked = 0;
    for (QWidget *widget : m_window->findChildren<QWidget *>()) {
        const QString text = caption(widget);
        if (!hasCjk(text))
            continue;
        bool covered = false;
        for (const QString &family : widget->font().families()) {
            QFont single(family);
            const QRawFont face = QRawFont::fromFont(single);
            if (!face.isValid() || face.familyName() != family)
                continue; // not installed
            covered = std::all_of(text.begin(), text.end(), [&](QChar c) {
                return c.unicode() < 0x2E80 || face.supportsCharacter(c);
            });
            if (covered)
                break;
        }
        QVERIFY2(covered, qPrintable(widget->objectName() + u' ' + text));
        ++checked;
    }
    QVERIFY(checked >= 25); // the labels' "：", the option buttons, "～"
}

void TestMainWindowControls::commandRowsEqualAndEven()
{
    const Controls &c = ui();
    for (int i = 1; i < 15; ++i) {
        QCOMPARE(c.Label7[i]->geometry(), c.Label7[0]->geometry().translated(0, 24 * i));
        QCOMPARE(c.cmd[i]->geometry(), c.cmd[0]->geometry().translated(0, 24 * i));
        QCOMPARE(c.noteText[i]->geometry(), c.noteText[0]->geometry().translated(0, 24 * i));
    }
    // The command text is the widest of the three, the note at the right.
    QVERIFY(ui().cmd[0]->width() > ui().noteText[0]->width());
    QVERIFY(ui().cmd[0]->width() > ui().Label7[0]->width());
    QVERIFY(ui().noteText[0]->x() > ui().cmd[0]->x());
    // Under the header row and the line.
    QVERIFY(ui().Line1->geometry().top() > ui().save->geometry().bottom());
    QVERIFY(ui().Label7[0]->geometry().top() > ui().Line1->geometry().bottom());
}

void TestMainWindowControls::groupsInScreenOrder()
{
    const auto leftToRight = [](const QList<QWidget *> &row) {
        for (qsizetype i = 1; i < row.size(); ++i)
            QVERIFY2(row[i - 1]->geometry().right() < row[i]->geometry().left(),
                     qPrintable(row[i]->objectName()));
    };
    const auto topToBottom = [](const QList<QWidget *> &column) {
        for (qsizetype i = 1; i < column.size(); ++i)
            QVERIFY2(column[i - 1]->geometry().bottom() < column[i]->geometry().top(),
                     qPrintable(column[i]->objectName()));
    };
    const Controls &c = ui();
    topToBottom({c.ipSet, c.Frame2, c.Frame3, c.Frame4, c.send});
    leftToRight({c.sendCnt, c.crcEN, c.send, c.crcCalc, c.savelog, c.Command1, c.status});
    leftToRight({c.Label1, c.address, c.Label2, c.port});
    leftToRight({c.Label8, c.comSelect, c.baudrate, c.configCOM});
    leftToRight({c.Label3, c.timeout, c.connect[0], c.connect[1]});
    leftToRight({c.Label4, c.repeat, c.Label5, c.rpStart, c.Label6, c.rpStop, c.rCNT, c.Command2});
    leftToRight({c.filename, c.filetitle, c.filecombo, c.save});
    leftToRight({c.winsockstatus, c.ver});
    // Two columns: the left about two fifths of the width.
    QVERIFY(c.Frame4->geometry().right() < c.getMsg->geometry().left());
    QVERIFY(c.Frame4->width() > 1006 * 35 / 100 && c.Frame4->width() < 1006 * 48 / 100);
}

void TestMainWindowControls::linkFramesShareOnePlace()
{
    Controls &c = ui();
    QCOMPARE(c.comset->geometry(), c.ipSet->geometry());
    QCOMPARE(c.modeSelect->parentWidget(), m_window.get());
    // Beside the frames, at the right end of their group.
    QVERIFY(c.modeSelect->geometry().left() > c.ipSet->geometry().right());
    QVERIFY(c.modeSelect->geometry().top() < c.ipSet->geometry().bottom() &&
            c.modeSelect->geometry().bottom() > c.ipSet->geometry().top());

    // After start-up: TCP mode.
    QVERIFY(c.ipSet->isVisibleTo(m_window.get()));
    QVERIFY(!c.comset->isVisibleTo(m_window.get()));
    QVERIFY(c.modeSelect->isVisibleTo(m_window.get()));
    // The mode switch exchanges the frames; Mode stays with either.
    c.ipSet->hide();
    c.comset->show();
    QVERIFY(c.modeSelect->isVisibleTo(m_window.get()));
    QVERIFY(shownAt(m_window.get(), c.comSelect, c.comSelect->geometry().center()));
    c.comset->hide();
    c.ipSet->show();
}

void TestMainWindowControls::framesLieOverLogNearItsLeftEdge()
{
    Controls &c = ui();
    QVERIFY(c.Frame5->isHidden() && c.Frame6->isHidden()); // start-up hides them
    c.Frame5->show();
    c.Frame6->show();
    const QRect log = c.getMsg->geometry();
    for (QGroupBox *frame : {c.Frame6, c.Frame5}) {
        QVERIFY(log.contains(frame->geometry()));
        QVERIFY(frame->x() - log.x() < log.width() / 8);
        // On top of the log, not under it.
        QVERIFY(shownAt(m_window.get(), frame, frame->geometry().topLeft() + QPoint(4, 4)));
    }
    QVERIFY(c.Frame6->geometry().bottom() < c.Frame5->geometry().top());
    QVERIFY(c.Command3->geometry().bottom() < c.Command4->geometry().top());
    // "Kill All Files" beside the column of five and as high as all of it.
    for (int i = 1; i < 5; ++i)
        QVERIFY(c.killCmd[i - 1]->geometry().bottom() < c.killCmd[i]->geometry().top());
    QCOMPARE(c.killCmd[5]->geometry().top(), c.killCmd[0]->geometry().top());
    QCOMPARE(c.killCmd[5]->geometry().bottom(), c.killCmd[4]->geometry().bottom());
    QVERIFY(c.killCmd[5]->geometry().left() > c.killCmd[0]->geometry().right());
    c.Frame5->hide();
    c.Frame6->hide();
}

void TestMainWindowControls::logReachesBottomRow()
{
    const Controls &c = ui();
    const QRect log = c.getMsg->geometry();
    QVERIFY(log.top() > c.ver->geometry().bottom());
    QVERIFY(log.top() > c.winsockstatus->geometry().bottom());
    QVERIFY(log.bottom() < c.status->geometry().top());
    QVERIFY(c.status->geometry().top() - log.bottom() <= 8);
    QCOMPARE(log.bottom(), c.Frame4->geometry().bottom());
    // The bottom row goes on under the log.
    QVERIFY(c.status->geometry().left() >= log.left());
    QCOMPARE(c.status->geometry().right(), log.right());
}

void TestMainWindowControls::connectionStyleIsOneGroup()
{
    QTest::mouseClick(ui().connect[1], Qt::LeftButton);
    QVERIFY(ui().connect[1]->isChecked());
    QVERIFY(!ui().connect[0]->isChecked());
    QTest::mouseClick(ui().connect[0], Qt::LeftButton);
    QVERIFY(ui().connect[0]->isChecked());
    QVERIFY(!ui().connect[1]->isChecked());
}

void TestMainWindowControls::timers()
{
    for (const char *name : {"Timer", "repTimer", "winsockchk"})
        QVERIFY2(m_window->findChild<QTimer *>(QString::fromLatin1(name)), name);
    QCOMPARE(m_window->findChild<QTimer *>(QStringLiteral("Timer")), ui().Timer);
    QCOMPARE(m_window->findChild<QTimer *>(QStringLiteral("repTimer")), ui().repTimer);
    QCOMPARE(m_window->findChild<QTimer *>(QStringLiteral("winsockchk")), ui().winsockchk);
    QCOMPARE(ui().winsockchk->interval(), 1000);
    // Start-up switched the status display off; the others wait for a Send.
    QVERIFY(!ui().winsockchk->isActive());
    QVERIFY(!ui().Timer->isActive());
    QVERIFY(!ui().repTimer->isActive());
}

void TestMainWindowControls::sendHasFocusAndTabReachesEveryControl()
{
    // A window just made, as the user first sees it.
    auto window = std::make_unique<MainWindow>(m_folder.path());
    QWidget *send = window->controls().send;
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(QApplication::focusWidget(), send);

    // The first control of the window's tab order.
    QWidget *first = window->nextInFocusChain();
    while (first != window.get() && !(first->focusPolicy() & Qt::TabFocus))
        first = first->nextInFocusChain();
    QCOMPARE(first, send);

    // Tab goes round every visible control and back to Send.
    QSet<QString> reached;
    for (int i = 0; i < 100 && (i == 0 || QApplication::focusWidget() != send); ++i) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        while (focus->objectName().isEmpty() || focus->objectName().startsWith(u"qt_"))
            focus = focus->parentWidget();
        reached.insert(focus->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), send);
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        if (widget->objectName().isEmpty() || !widget->isVisible() ||
            !(widget->focusPolicy() & Qt::TabFocus) || qobject_cast<QRadioButton *>(widget))
            continue;
        QVERIFY2(reached.contains(widget->objectName()), qPrintable(widget->objectName()));
    }
    QVERIFY(reached.contains(QStringLiteral("connect_0")));
}

void TestMainWindowControls::icon()
{
    for (int size : {16, 32, 48, 64, 128}) {
        const QImage image(QStringLiteral(":/tallowick/icons/tallowick-%1.png").arg(size));
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(m_window->windowIcon().availableSizes().contains(QSize(size, size)));
    }
    QVERIFY(!programIcon().isNull());
    // Windows without an icon of their own, the decoder window, show it too.
    QCOMPARE(QApplication::windowIcon().availableSizes(), m_window->windowIcon().availableSizes());
}

QTEST_MAIN(TestMainWindowControls)
#include "tst_main_window_controls.moc"
