// Drawing held back while controls change fast: their state is new at once,
// what is drawn catches up after the burst. Paint events are counted on the
// real widgets, drawn offscreen.
#include "engine/exchange_engine.h"
#include "support/exchange.h"
#include "ui/repaint_hold_back.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;
using namespace tallowick;
using namespace tallowick::test;

namespace {

// Counts a button's paint events and notes what it showed at the last one.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QAbstractButton *button) : m_button(button)
    {
        button->installEventFilter(this);
    }
    int paints = 0;
    QString text;
    bool enabled = true;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_button && event->type() == QEvent::Paint) {
            ++paints;
            text = m_button->text();
            enabled = m_button->isEnabled();
        }
        return false;
    }

private:
    QAbstractButton *m_button;
};

// A burst can be drawn at its start, at the end of each interval it spans,
// and once more after it.
int mostPaints(qint64 elapsedMs, std::chrono::milliseconds interval)
{
    return int(elapsedMs / interval.count()) + 3;
}

struct Panel
{
    QWidget window;
    QPushButton *button = new QPushButton(QStringLiteral("Send"), &window);
    QLabel *label = new QLabel(QStringLiteral("Ready"), &window);
    Panel()
    {
        window.resize(200, 80);
        label->move(0, 40);
        window.show();
    }
};

} // namespace

class TestRepaintHoldBack : public QObject
{
    Q_OBJECT
private slots:
    void quietChangeDrawnAtOnceNextOneHeld();
    void sameStateHoldsNothing();
    void burstDrawnLateInItsLastState();
    void repeatRunOverLoopback();
};

void TestRepaintHoldBack::quietChangeDrawnAtOnceNextOneHeld()
{
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    PaintWatch watch(p.button);
    // An interval far longer than drawing takes, so that held and drawn differ.
    RepaintHoldBack holdBack(nullptr, 3s);

    holdBack.setText(p.button, QStringLiteral("Stop"));
    QCOMPARE(p.button->text(), QStringLiteral("Stop"));
    QTRY_COMPARE_WITH_TIMEOUT(watch.text, QStringLiteral("Stop"), 1500);

    holdBack.setText(p.button, QStringLiteral("Send"));
    holdBack.setEnabled(p.button, false);
    QCOMPARE(p.button->text(), QStringLiteral("Send"));
    QVERIFY(!p.button->isEnabled());
    QTest::qWait(300);
    QCOMPARE(watch.text, QStringLiteral("Stop"));
    QVERIFY(watch.enabled);

    QTRY_COMPARE_WITH_TIMEOUT(watch.text, QStringLiteral("Send"), 6000);
    QVERIFY(!watch.enabled);
    QVERIFY(p.button->updatesEnabled());
}

void TestRepaintHoldBack::sameStateHoldsNothing()
{
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    RepaintHoldBack holdBack(nullptr, 3s);
    holdBack.setText(p.label, QStringLiteral("Connecting..."));
    QTest::qWait(50);
    PaintWatch watch(p.button);
    for (int i = 0; i < 3; ++i) {
        holdBack.setText(p.button, QStringLiteral("Send"));
        holdBack.setEnabled(p.button, true);
        holdBack.setText(p.label, QStringLiteral("Connecting..."));
    }
    QTest::qWait(100);
    QCOMPARE(watch.paints, 0);
    QVERIFY(p.button->updatesEnabled());
    QVERIFY(p.label->updatesEnabled());
}

void TestRepaintHoldBack::burstDrawnLateInItsLastState()
{
    Panel p;
    QVERIFY(QTest::qWaitForWindowExposed(&p.window));
    PaintWatch watch(p.button);
    RepaintHoldBack holdBack;

    // Two changes a millisecond, the event loop turning between them.
    int changes = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        const bool waiting = changes % 2 == 0;
        holdBack.setText(p.button, waiting ? QStringLiteral("Stop") : QStringLiteral("Send"));
        holdBack.setEnabled(p.button, !waiting);
        QCOMPARE(p.button->isEnabled(), !waiting);
        if (++changes == 300)
            tick.stop();
    });
    clock.start();
    tick.start(1);
    QTRY_VERIFY_WITH_TIMEOUT(!tick.isActive(), 30000);
    const qint64 elapsed = clock.elapsed();

    QCOMPARE(p.button->text(), QStringLiteral("Send"));
    QVERIFY2(watch.paints <= mostPaints(elapsed, RepaintHoldBack::defaultInterval),
             qPrintable(QStringLiteral("%1 paints in %2 ms").arg(watch.paints).arg(elapsed)));
    QTRY_VERIFY_WITH_TIMEOUT(watch.text == QStringLiteral("Send") && watch.enabled, 2000);
}

void TestRepaintHoldBack::repeatRunOverLoopback()
{
    ScriptedPeer peer;
    WindowFixture f(true);
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    // Read one register of unit 1; the reply (CRC: pymodbus 3.0 computeCRC)
    // goes back at once. The window must be waiting when a request arrives.
    int waitingAtRequest = 0;
    peer.onRequest = [&](QTcpSocket *socket, const QByteArray &) {
        waitingAtRequest +=
            f.ui().send->text() == QLatin1String("Stop") && !f.ui().modeSelect->isEnabled();
        socket->write(QByteArray::fromHex("01030200057847"));
    };
    useTcp(f, peer.port(), QStringLiteral("3000"), true);
    f.ui().rpStart->setText(QStringLiteral("1"));
    f.ui().rpStop->setText(QStringLiteral("1"));
    f.ui().rCNT->setText(QStringLiteral("100"));
    f.ui().repeat->setText(QStringLiteral("1"));
    PaintWatch send(f.ui().send);

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(f.ui().Command2, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(
        !f.engine().isRepeating() && f.ui().Command2->text() == QLatin1String("Repeat Send"), 30000);
    const qint64 elapsed = clock.elapsed();

    QCOMPARE(waitingAtRequest, 100);
    QCOMPARE(f.ui().send->text(), QStringLiteral("Send"));
    QVERIFY(f.ui().modeSelect->isEnabled());
    QVERIFY2(send.paints <= mostPaints(elapsed, RepaintHoldBack::defaultInterval),
             qPrintable(QStringLiteral("%1 paints in %2 ms").arg(send.paints).arg(elapsed)));
    QTRY_VERIFY_WITH_TIMEOUT(send.text == QLatin1String("Send") && send.enabled, 2000);
}

QTEST_MAIN(TestRepaintHoldBack)
#include "tst_repaint_hold_back.moc"
