// The main window after start-up, drawn at the scale QT_SCALE_FACTOR gives this
// run (CTest runs it at 1, 1.5 and 2): every control with its objectName,
// class, caption and font, the timers, the grouping and the tab order, and
// every caption fitting its control.
#include "support/scripted_dialogs.h"
#include "ui/log_box.h"
#include "ui/main_window.h"
#include "ui/main_window_layout.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHostAddress>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace tallowick;
using namespace tallowick::test;

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

// The room a control's style leaves for its caption, and what the caption
// needs of it.
std::pair<int, int> captionRoom(QWidget *widget)
{
    const int text = QFontMetrics(widget->font()).horizontalAdvance(caption(widget));
    if (qobject_cast<QLabel *>(widget))
        return {widget->contentsRect().width(), text};
    if (qobject_cast<QGroupBox *>(widget) || qobject_cast<QCheckBox *>(widget) ||
        qobject_cast<QRadioButton *>(widget))
        return {widget->width(), widget->minimumSizeHint().width()};
    QStyle *style = widget->style();
    if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (button->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        return {style->subElementRect(QStyle::SE_PushButtonContents, &option, button).width(),
                text};
    }
    auto *box = qobject_cast<QLineEdit *>(widget);
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth = style->pixelMetric(QStyle::PM_DefaultFrameWidth);
    // QLineEdit keeps two pixels free on either side of its text.
    return {style->subElementRect(QStyle::SE_LineEditContents, &option, box).width() - 4, text};
}

} // namespace

class TestMainWindowRender : public QObject
{
    Q_OBJECT

    Controls &ui() { return m_window->controls(); }
    QRect place(QWidget *widget)
    {
        return {widget->mapTo(m_window.get(), QPoint()), widget->size()};
    }

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QTemporaryDir m_folder;
    std::unique_ptr<MainWindow> m_window;

private slots:
    void initTestCase()
    {
        // A window of its own, not the fixture's, so that `address` keeps its
        // default. Nothing here sends.
        m_dialogs = std::make_unique<ScriptedDialogs>();
        m_window = std::make_unique<MainWindow>(m_folder.path());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanupTestCase()
    {
        m_window.reset();
        m_dialogs.reset();
    }

    // "name|class|caption|x,y,w,h|font": where it sits on the window; a caption
    // of "*" is not fixed at start-up, M is the labels' font. The other command
    // rows follow the first, 24 pixels apart.
    void controls_data()
    {
        QTest::addColumn<QString>("row");
        // clang-format off
    QStringList rows = QStringLiteral(
        "ipSet|QGroupBox|IP Settings|6,2,380,56; Label1|QLabel|IP：|14,27,32,22|M; "
        "address|QLineEdit|*|48,26,150,24; Label2|QLabel|PORT：|210,27,58,22|M; "
        "port|QLineEdit|1560|270,26,110,24; comset|QGroupBox|Com port setting|6,2,380,56; "
        "Label8|QLabel|COM Port：|12,27,84,22|M; comSelect|QLineEdit||96,26,40,24; "
        "modeSelect|QPushButton|Mode|390,20,58,34; "
        "baudrate|QLabel|Configure the seial line：|140,27,156,22; "
        "configCOM|QLineEdit|9600,n,8,1|296,26,84,24; "
        "Frame2|QGroupBox|Connection Settings|6,60,442,56; Label3|QLabel|Timeout：|14,85,80,22|M; "
        "timeout|QLineEdit|3000|96,84,64,24; connect_0|QRadioButton|間斷連線|186,84,110,24; "
        "connect_1|QRadioButton|保持連線|306,84,110,24; Frame3|QGroupBox|Repeat Send|6,118,442,56; "
        "Label4|QLabel|Repeat Time：|12,143,108,22|M; repeat|QLineEdit|1000|120,142,46,24; "
        "Label5|QLabel|Repeat：|170,143,68,22|M; rpStart|QLineEdit|1|238,142,28,24; "
        "Label6|QLabel|～|267,143,18,22|M; rpStop|QLineEdit|1|286,142,28,24; "
        "rCNT|QLineEdit||318,142,34,24; Command2|QPushButton|Repeat Send|356,140,86,28; "
        "Frame4|QGroupBox|Command Line|6,176,442,428; filename|QLabel|config1：|12,200,80,24; "
        "filetitle|QLineEdit|fileName|94,200,120,24; filecombo|QComboBox|config1|220,200,100,24; "
        "save|QPushButton|Save setting|326,198,116,28; Line1|QFrame||12,231,430,3; "
        "sendCnt|QLineEdit|1|6,608,40,32|新細明體 12; crcEN|QCheckBox|CRC EN|52,608,76,32; "
        "send|QPushButton|Send|130,608,64,32; crcCalc|QPushButton|CRC Calculate|198,608,104,32; "
        "savelog|QPushButton|Save Log|306,608,76,32; Command1|QPushButton|Clear|386,608,62,32; "
        "status|QLabel|*|456,608,544,32; winsockstatus|QLabel|Initial....|456,3,300,20|新細明體 8.25; "
        "ver|QLabel|1311141140|860,3,140,20|Consolas 8.25; "
        "getMsg|tallowick::LogBox||456,26,544,578|M; "
        "Frame6|QGroupBox|Im/Export config file|468,40,200,96; "
        "Command3|QPushButton|Import config file|478,64,180,30; "
        "Command4|QPushButton|Export config file|478,98,180,30; "
        "Frame5|QGroupBox|Kill file menu|468,142,290,190; "
        "killCmd_5|QPushButton|Kill All Files|634,166,114,158").split(QStringLiteral("; "));
        // clang-format on
        for (int i = 0; i < 15; ++i) {
            const int y = 238 + 24 * i;
            rows << QStringLiteral("Label7_%1|tallowick::ClickableLabel|CMD%2：|12,%3,70,22|M")
                        .arg(i)
                        .arg(i + 1)
                        .arg(y)
                 << QStringLiteral("cmd_%1|QLineEdit|030102030405|84,%2,230,22").arg(i).arg(y)
                 << QStringLiteral("noteText_%1|QLineEdit||318,%2,124,22").arg(i).arg(y);
        }
        for (int i = 0; i < 5; ++i)
            rows << QStringLiteral("killCmd_%1|QPushButton|Kill config%2.ini|478,%3,150,30")
                        .arg(i)
                        .arg(i + 1)
                        .arg(166 + 32 * i);
        for (const QString &row : rows)
            QTest::newRow(qPrintable(row.section(u'|', 0, 0))) << row;
    }

    void controls()
    {
        QFETCH(QString, row);
        const QStringList expected = row.split(u'|');
        const QList<QWidget *> found = m_window->findChildren<QWidget *>(expected[0]);
        QCOMPARE(found.size(), 1);
        QCOMPARE(QString::fromLatin1(found[0]->metaObject()->className()), expected[1]);
        if (expected[2] != u"*")
            QCOMPARE(caption(found[0]), expected[2]);
        const QStringList at = expected[3].split(u',');
        QCOMPARE(place(found[0]),
                 QRect(at[0].toInt(), at[1].toInt(), at[2].toInt(), at[3].toInt()));
        const QFont font = found[0]->font();
        if (expected.size() > 4)
            QCOMPARE(font.families().value(0) + u' ' + QString::number(font.pointSizeF()),
                     expected[4] == u"M" ? QStringLiteral("新細明體 11.25") : expected[4]);
    }

    void windowAndDefaults()
    {
        QCOMPARE(m_window->objectName(), QStringLiteral("Form1"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Tallowick"));
        QCOMPARE(m_window->size(), QSize(1006, 644));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        QVERIFY(ui().crcEN->isChecked() && ui().connect[0]->isChecked());
        QTest::mouseClick(ui().connect[1], Qt::LeftButton); // one group of two
        QVERIFY(!ui().connect[0]->isChecked());
        QTest::mouseClick(ui().connect[0], Qt::LeftButton);
        QVERIFY(!ui().connect[1]->isChecked());
        QStringList items;
        for (int i = 0; i < ui().filecombo->count(); ++i)
            items << ui().filecombo->itemText(i);
        QCOMPARE(items, QStringList({"config1", "config2", "config3", "config4", "config5"}));
        QVERIFY(ui().filecombo->isEditable());
        QCOMPARE(ui().filecombo->currentIndex(), -1); // only the text shown
        // A private IPv4 address (10/8, 172.16/12, 192.168/16), looked at only.
        const quint32 ip = QHostAddress(ui().address->text()).toIPv4Address();
        QVERIFY((ip >> 24) == 10 || (ip >> 20) == 0xAC1 || (ip >> 16) == 0xC0A8);
        // Start-up: TCP mode, the optional frames and the state label hidden,
        // every timer stopped; the state label's timer keeps its interval.
        QVERIFY(ui().ipSet->isVisible() && ui().comset->isHidden());
        QVERIFY(ui().Frame5->isHidden() && ui().Frame6->isHidden() &&
                ui().winsockstatus->isHidden());
        const std::pair<const char *, QTimer *> timers[] = {
            {"Timer", ui().Timer}, {"repTimer", ui().repTimer}, {"winsockchk", ui().winsockchk}};
        for (const auto &[name, timer] : timers)
            QVERIFY(m_window->findChild<QTimer *>(name) == timer && !timer->isActive());
        QCOMPARE(ui().winsockchk->interval(), 1000);
        // The icon, for the decoder window too.
        for (int size : {16, 32, 48, 64, 128})
            QVERIFY(m_window->windowIcon().availableSizes().contains(QSize(size, size)));
        QCOMPARE(QApplication::windowIcon().availableSizes(),
                 m_window->windowIcon().availableSizes());
        // Every Chinese caption has an installed face among its font's families
        // that draws all of it.
        int chinese = 0;
        for (QWidget *widget : m_window->findChildren<QWidget *>()) {
            const QString text = caption(widget);
            if (!std::any_of(text.begin(), text.end(),
                             [](QChar c) { return c.unicode() >= 0x2E80; }))
                continue;
            const QStringList families = widget->font().families();
            QVERIFY2(std::any_of(families.begin(), families.end(),
                                 [&](const QString &family) {
                                     const QRawFont face = QRawFont::fromFont(QFont(family));
                                     return face.isValid() && face.familyName() == family &&
                                            std::all_of(text.begin(), text.end(), [&](QChar c) {
                                                return c.unicode() < 0x2E80 ||
                                                       face.supportsCharacter(c);
                                            });
                                 }),
                     qPrintable(widget->objectName() + u' ' + text));
            ++chinese;
        }
        QVERIFY(chinese >= 25);
    }

    // Mode on the window beside the link frames, which share one place; the
    // frames shown over the log lie on top of it.
    void layout()
    {
        Controls &c = ui();
        QCOMPARE(c.modeSelect->parentWidget(), m_window.get());
        c.Frame5->show();
        c.Frame6->show();
        for (QGroupBox *frame : {c.Frame6, c.Frame5}) {
            QWidget *top = m_window->childAt(frame->geometry().topLeft() + QPoint(4, 4));
            QVERIFY(top == frame || frame->isAncestorOf(top));
        }
        c.Frame5->hide();
        c.Frame6->hide();
    }

    void tabOrderFromSend()
    {
        // A window just made, as the user first sees it.
        MainWindow window(m_folder.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList order;
        for (int i = 0; i < 60 && (i == 0 || QApplication::focusWidget() != window.controls().send);
             ++i) {
            QWidget *focus = QApplication::focusWidget();
            QVERIFY(focus);
            while (focus->objectName().isEmpty() || focus->objectName().startsWith(u"qt_"))
                focus = focus->parentWidget();
            order << focus->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QStringList expected = {"send",      "crcCalc",   "savelog",   "Command1",   "sendCnt",
                                "crcEN",     "address",   "port",      "modeSelect", "timeout",
                                "connect_0", "repeat",    "rpStart",   "rpStop",     "rCNT",
                                "Command2",  "filetitle", "filecombo", "save"};
        for (int i = 0; i < 15; ++i)
            expected << QStringLiteral("cmd_%1").arg(i) << QStringLiteral("noteText_%1").arg(i);
        QCOMPARE(order, expected << "getMsg");
    }

    void captionsFit_data()
    {
        QTest::addColumn<QWidget *>("widget");
        for (QWidget *widget : m_window->findChildren<QWidget *>()) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_"))
                continue;
            if (auto *combo = qobject_cast<QComboBox *>(widget))
                widget = combo->lineEdit();
            if (!caption(widget).isEmpty() && !qobject_cast<QPlainTextEdit *>(widget))
                QTest::newRow(qPrintable(widget->objectName())) << widget;
        }
    }

    void captionsFit()
    {
        QFETCH(QWidget *, widget);
        const auto [room, needed] = captionRoom(widget);
        QVERIFY2(needed <= room, qPrintable(QStringLiteral("\"%1\" needs %2 px, has %3")
                                                .arg(caption(widget))
                                                .arg(needed)
                                                .arg(room)));
    }

    // The window's own controls keep clear of each other and of the window's
    // edges, as high as their text needs; the controls of every frame lie inside
    // it, under its title, apart. Drawn at this run's scale in either mode.
    void controlsApart()
    {
        const qreal scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                                ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                                : 1.0;
        QCOMPARE(m_window->devicePixelRatioF(), scale);
        for (bool serial : {true, false}) {
            ui().comset->setVisible(serial);
            ui().ipSet->setVisible(!serial);
            QCOMPARE(m_window->grab().toImage().size(),
                     QSize(qRound(1006 * scale), qRound(644 * scale)));
        }
        const Controls &c = ui();
        QList<QList<QWidget *>> groups = {{c.ipSet, c.modeSelect, c.Frame2, c.Frame3, c.Frame4,
                                           c.sendCnt, c.crcEN, c.send, c.crcCalc, c.savelog,
                                           c.Command1, c.status, c.winsockstatus, c.ver, c.getMsg}};
        for (QGroupBox *frame : m_window->findChildren<QGroupBox *>()) {
            groups << frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
            QStyleOptionGroupBox option;
            option.initFrom(frame);
            option.text = frame->title();
            option.lineWidth = 1;
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const int titleBottom =
                frame->style()
                    ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame)
                    .bottom();
            for (QWidget *inside : groups.last())
                QVERIFY2(inside->y() > titleBottom, qPrintable(inside->objectName()));
        }
        for (const QList<QWidget *> &group : groups) {
            QVERIFY(!group.isEmpty());
            for (qsizetype i = 0; i < group.size(); ++i) {
                QVERIFY2(group[i]->parentWidget()->rect().contains(group[i]->geometry()),
                         qPrintable(group[i]->objectName()));
                if (!qobject_cast<QGroupBox *>(group[i]) && group[i] != c.getMsg &&
                    group[i] != c.Line1)
                    QVERIFY2(group[i]->height() >= group[i]->minimumSizeHint().height(),
                             qPrintable(group[i]->objectName()));
                for (qsizetype j = i + 1; j < group.size(); ++j)
                    QVERIFY2(!group[i]->geometry().intersects(group[j]->geometry()),
                             qPrintable(group[i]->objectName() + u' ' + group[j]->objectName()));
            }
        }
    }
};

QTEST_MAIN(TestMainWindowRender)
#include "tst_main_window_layout.moc"
