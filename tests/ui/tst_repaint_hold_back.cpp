// Drawing held back while controls change fast: their state is new at once,
// what is drawn catches up after the burst. Paint events are counted on the
// real widgets, drawn offscreen.
#include "support/paint_counter.h"
#include "support/window_fixture.h"
#include "ui/repaint_hold_back.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using namespace std::chrono_literals;
using namespace tallowick;
using namespace tallowick::test;

namespace {

// An event posted behind every event already waiting, below the low priority
// at which Qt posts the drawing of widgets: once it arrives, every paint asked
// for so far has happened. Waiting for it, not for some milliseconds, is what
// lets a test say "nothing was drawn" on a machine of any speed.
class LastInLine : public QObject
{
public:
    bool arrived = false;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        arrived = true;
        return true;
    }
};

[[nodiscard]] bool drawingCaughtUp()
{
    // Twice: events of the window system handled along with the first may
    // post paints of their own behind it.
    for (int round = 0; round < 2; ++round) {
        LastInLine marker;
        QCoreApplication::postEvent(&marker, new QEvent(QEvent::User), Qt::LowEventPriority - 1);
        if (!QTest::qWaitFor([&marker] { return marker.arrived; }, 20000))
            return false;
    }
    return true;
}

// Shown, active (activation redraws a button) and drawn, so that what the
// test does next is all that can cause a paint.
[[nodiscard]] bool shownAndSettled(QWidget *widget)
{
    widget->show();
    return QTest::qWaitForWindowExposed(widget) && QTest::qWaitForWindowActive(widget) &&
           drawingCaughtUp();
}

} // namespace

class TestRepaintHoldBack : public QObject
{
    Q_OBJECT
private slots:
    // A burst of changes with the event loop turning between them: the first is
    // drawn at once, the others held for as long as the interval lasts, and the
    // last state drawn when the holding ends.
    void firstChangeDrawnAtOnceTheRestHeld()
    {
        QPushButton button(QStringLiteral("Send"));
        QVERIFY(shownAndSettled(&button));
        PaintCounter watch(&button);
        // An interval no test run outlasts.
        auto holdBack = std::make_unique<RepaintHoldBack>(nullptr, 1h);
        holdBack->setText(&button, QStringLiteral("Stop"));
        QTRY_COMPARE_WITH_TIMEOUT(watch.text, QStringLiteral("Stop"), 20000);
        for (int i = 1; i < 300; ++i) {
            const bool waiting = i % 2 == 0;
            holdBack->setText(&button, waiting ? QStringLiteral("Stop") : QStringLiteral("Send"));
            holdBack->setEnabled(&button, !waiting);
            QCOMPARE(button.text(), waiting ? QStringLiteral("Stop") : QStringLiteral("Send"));
            QCOMPARE(button.isEnabled(), !waiting);
            if (i % 50 == 0)
                QVERIFY(drawingCaughtUp());
        }
        QVERIFY(drawingCaughtUp());
        QCOMPARE(watch.paints, 1);
        QVERIFY(watch.enabled);

        holdBack.reset(); // gives the drawing back
        QVERIFY(button.updatesEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(watch.text == QStringLiteral("Send") && watch.enabled, 20000);
        QCOMPARE(watch.paints, 2);
    }

    void sameStateHoldsNothing()
    {
        QPushButton button(QStringLiteral("Send"));
        QVERIFY(shownAndSettled(&button));
        RepaintHoldBack holdBack(nullptr, 1h);
        QLabel label;
        holdBack.setText(&label, QStringLiteral("Connecting...")); // drawn at once
        PaintCounter watch(&button);
        for (int i = 0; i < 3; ++i) {
            holdBack.setText(&button, QStringLiteral("Send"));
            holdBack.setEnabled(&button, true);
            holdBack.setText(&label, QStringLiteral("Connecting..."));
        }
        QVERIFY(drawingCaughtUp());
        QCOMPARE(watch.paints, 0);
        QVERIFY(button.updatesEnabled() && label.updatesEnabled());
    }

    // The window's own holding ends after its interval: Send and Mode are drawn
    // as they are once the exchange is over.
    void windowDrawsTheLastStateOfAnExchange()
    {
        WindowFixture f(true);
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        f.ui().timeout->setText(QStringLiteral("600000"));
        PaintCounter send(f.ui().send);
        PaintCounter mode(f.ui().modeSelect);
        QTest::mouseClick(f.ui().send, Qt::LeftButton);
        QTest::mouseClick(f.ui().send, Qt::LeftButton); // Stop
        QTRY_VERIFY_WITH_TIMEOUT(send.text == QStringLiteral("Send") && mode.enabled, 20000);
        QVERIFY(send.paints >= 1 && mode.paints >= 1);
    }
};

QTEST_MAIN(TestRepaintHoldBack)
#include "tst_repaint_hold_back.moc"
