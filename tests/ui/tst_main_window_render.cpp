#include "support/scripted_dialogs.h"
#include "ui/log_box.h"
#include "ui/main_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <memory>

using namespace tallowick;
using namespace tallowick::test;

// The window as drawn, at the scale QT_SCALE_FACTOR gives this run (CTest runs
// it at 1, 1.5 and 2): every caption fits its control and the controls keep
// clear of each other.
class TestMainWindowRender : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void grabbedAtScale();
    void captionsFit_data();
    void captionsFit();
    void labelInkStaysInside_data();
    void labelInkStaysInside();
    void controlsHeightHoldsText();
    void leftColumnDoesNotOverlap();
    void framesHoldTheirControls();

private:
    void showMode(bool serial);

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QTemporaryDir m_folder;
    std::unique_ptr<MainWindow> m_window;
};

namespace {

qreal scaleOfThisRun()
{
    bool ok = false;
    const qreal scale = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok ? scale : 1.0;
}

// The room a control's style leaves for its caption, and the caption.
struct CaptionRoom
{
    QString text;
    int width = 0;  // available
    int needed = 0; // the text's advance in the control's font
};

CaptionRoom captionRoom(QWidget *widget)
{
    const QFontMetrics metrics(widget->font());
    QStyle *style = widget->style();
    CaptionRoom room;
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        room.text = label->text();
        room.width = label->contentsRect().width() - 2 * label->margin() - qMax(0, label->indent());
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        auto *push = qobject_cast<QPushButton *>(button);
        if (push && push->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        const QStyle::SubElement contents =
            push ? QStyle::SE_PushButtonContents
                 : (qobject_cast<QCheckBox *>(button) ? QStyle::SE_CheckBoxContents
                                                      : QStyle::SE_RadioButtonContents);
        room.text = button->text();
        room.width = style->subElementRect(contents, &option, button).width();
    } else if (auto *frame = qobject_cast<QGroupBox *>(widget)) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.lineWidth = 1;
        option.textAlignment = frame->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect title =
            style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
        room.text = frame->title();
        room.width = title.intersected(frame->rect()).width();
    } else if (auto *box = qobject_cast<QLineEdit *>(widget)) {
        QStyleOptionFrame option;
        option.initFrom(box);
        option.rect = box->rect();
        option.lineWidth = box->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
        const QRect contents = style->subElementRect(QStyle::SE_LineEditContents, &option, box);
        room.text = box->text();
        // QLineEdit keeps two pixels free on either side of its text.
        room.width = contents.width() - box->textMargins().left() - box->textMargins().right() - 4;
    }
    room.needed = metrics.horizontalAdvance(room.text);
    return room;
}

bool isInk(QRgb pixel, QRgb background)
{
    return std::abs(qRed(pixel) - qRed(background)) + std::abs(qGreen(pixel) - qGreen(background)) +
               std::abs(qBlue(pixel) - qBlue(background)) >
           96;
}

} // namespace

void TestMainWindowRender::initTestCase()
{
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_window = std::make_unique<MainWindow>(m_folder.path());
    Controls &ui = m_window->controls();
    // Everything that can be shown, shown: the optional frames and the
    // socket state label over the log.
    ui.Frame5->show();
    ui.Frame6->show();
    ui.winsockstatus->show();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestMainWindowRender::cleanupTestCase()
{
    m_window.reset();
    m_dialogs.reset();
}

void TestMainWindowRender::showMode(bool serial)
{
    m_window->controls().ipSet->setVisible(!serial);
    m_window->controls().comset->setVisible(serial);
}

void TestMainWindowRender::grabbedAtScale()
{
    const qreal scale = scaleOfThisRun();
    QCOMPARE(m_window->devicePixelRatioF(), scale);
    for (bool serial : {false, true}) {
        showMode(serial);
        const QImage image = m_window->grab().toImage();
        QCOMPARE(image.size(), QSize(qRound(1006 * scale), qRound(644 * scale)));
        QVERIFY(!image.isNull());
    }
    showMode(false);
}

void TestMainWindowRender::captionsFit_data()
{
    QTest::addColumn<QWidget *>("widget");
    for (QWidget *widget : m_window->findChildren<QWidget *>()) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_"))
            continue;
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            widget = combo->lineEdit();
        if (captionRoom(widget).text.isEmpty())
            continue;
        QTest::newRow(
            qPrintable(widget->parentWidget()->objectName() + u'/' + widget->objectName()))
            << widget;
    }
}

void TestMainWindowRender::captionsFit()
{
    QFETCH(QWidget *, widget);
    const CaptionRoom room = captionRoom(widget);
    QVERIFY2(room.needed <= room.width, qPrintable(QStringLiteral("\"%1\" needs %2 px, has %3")
                                                       .arg(room.text)
                                                       .arg(room.needed)
                                                       .arg(room.width)));
}

void TestMainWindowRender::labelInkStaysInside_data()
{
    QTest::addColumn<QLabel *>("label");
    QTest::addColumn<bool>("serial");
    for (QLabel *label : m_window->findChildren<QLabel *>()) {
        if (label->text().isEmpty() || label->objectName().isEmpty())
            continue;
        const bool serial = label->parentWidget() == m_window->controls().comset;
        QTest::newRow(qPrintable(label->objectName())) << label << serial;
    }
}

// Drawn alone, a label's text leaves a clean edge on every side it runs
// towards; clipped text would reach the edge.
void TestMainWindowRender::labelInkStaysInside()
{
    QFETCH(QLabel *, label);
    QFETCH(bool, serial);
    showMode(serial);
    const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    showMode(false);
    const QRgb background = label->palette().color(label->backgroundRole()).rgb();
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isInk(image.pixel(x, y), background)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    QVERIFY2(right >= 0, "no text drawn");
    QVERIFY(top > 0);
    QVERIFY(bottom < image.height() - 1);
    const Qt::Alignment align = label->alignment();
    if (!(align & Qt::AlignRight))
        QVERIFY2(right < image.width() - 1, qPrintable(label->text()));
    if (align & (Qt::AlignRight | Qt::AlignHCenter))
        QVERIFY2(left > 0, qPrintable(label->text()));
}

void TestMainWindowRender::controlsHeightHoldsText()
{
    for (QWidget *widget : m_window->findChildren<QWidget *>()) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_") ||
            qobject_cast<QGroupBox *>(widget) || widget == m_window->controls().getMsg ||
            widget == m_window->controls().Line1)
            continue;
        QVERIFY2(widget->height() >= widget->minimumSizeHint().height(),
                 qPrintable(QStringLiteral("%1: %2 < %3")
                                .arg(widget->objectName())
                                .arg(widget->height())
                                .arg(widget->minimumSizeHint().height())));
    }
}

void TestMainWindowRender::leftColumnDoesNotOverlap()
{
    const Controls &c = m_window->controls();
    // The window's own controls; the two link frames are one place, and the
    // frames over the log lie over it by design.
    const QList<QWidget *> placed = {
        c.ipSet,   c.modeSelect, c.Frame2,   c.Frame3, c.Frame4,        c.sendCnt, c.crcEN, c.send,
        c.crcCalc, c.savelog,    c.Command1, c.status, c.winsockstatus, c.ver,     c.getMsg};
    const QRect window = m_window->rect();
    for (qsizetype i = 0; i < placed.size(); ++i) {
        QVERIFY2(window.contains(placed[i]->geometry()), qPrintable(placed[i]->objectName()));
        for (qsizetype j = i + 1; j < placed.size(); ++j)
            QVERIFY2(!placed[i]->geometry().intersects(placed[j]->geometry()),
                     qPrintable(placed[i]->objectName() + u' ' + placed[j]->objectName()));
    }
    QCOMPARE(c.comset->geometry(), c.ipSet->geometry());
}

// The controls of every frame lie inside it, under its title, and apart.
void TestMainWindowRender::framesHoldTheirControls()
{
    for (QGroupBox *frame : m_window->findChildren<QGroupBox *>()) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.lineWidth = 1;
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect title = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, frame);
        const QList<QWidget *> inside = frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        QVERIFY(!inside.isEmpty());
        for (qsizetype i = 0; i < inside.size(); ++i) {
            const QRect place = inside[i]->geometry();
            QVERIFY2(frame->rect().contains(place), qPrintable(inside[i]->objectName()));
            QVERIFY2(place.top() > title.bottom(), qPrintable(inside[i]->objectName()));
            for (qsizetype j = i + 1; j < inside.size(); ++j)
                QVERIFY2(!place.intersects(inside[j]->geometry()),
                         qPrintable(inside[i]->objectName() + u' ' + inside[j]->objectName()));
        }
    }
}

QTEST_MAIN(TestMainWindowRender)
#include "tst_main_window_render.moc"
