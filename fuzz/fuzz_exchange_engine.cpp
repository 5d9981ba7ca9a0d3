// The exchange engine driven by random runs of what the user, the device and
// the clock can do, on the fake links and the manual clock of the tests. The
// input is a list of steps: one byte for the kind, then its arguments. The
// properties hold after every step; at the end nobody acts, the peer stays
// silent, every wait runs out, and the engine must come to rest.
#include "engine/command_text.h"
#include "engine/exchange_engine.h"
#include "engine/numeric_value.h"
#include "fuzz_check.h"
#include "support/fake_link.h"
#include "support/manual_clock.h"
#include "ui/dialogs.h"

#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>

using namespace tallowick;
using namespace tallowick::test;
using namespace std::chrono_literals;

namespace {

enum Field { SendCnt, Timeout, Address, Port, ComSelect, Count, Start, Stop, Pause, Fields };

struct Inputs : ExchangeInputs
{
    std::array<QString, Fields> field{"1", "1000", "127.0.0.1", "502", "/dev/ttyFAKE0",
                                      "2", "1",    "3",         "10"};
    std::array<QString, commandLineCount> cmd;
    bool crc = true, drop = false;

    Inputs() { cmd.fill(QStringLiteral("010300000001")); }
    QString lineNumber() const override { return field[SendCnt]; }
    QString commandText(int line) const override { return cmd.at(line); }
    QString lineCaption(int line) const override { return QStringLiteral("CMD%1：").arg(line + 1); }
    bool appendCrc() const override { return crc; }
    QString address() const override { return field[Address]; }
    QString port() const override { return field[Port]; }
    QString timeout() const override { return field[Timeout]; }
    QString comSelect() const override { return field[ComSelect]; }
    QString configCom() const override { return QStringLiteral("9600,n,8,1"); }
    bool dropLinkAfterExchange() const override { return drop; }
    RepeatFields repeatFields() const override
    {
        return {field[Count], field[Start], field[Stop], field[Pause]};
    }
};

// The input from the front; past its end every byte reads 0.
struct Reader
{
    const uint8_t *at, *end;
    uint8_t byte() { return at == end ? 0 : *at++; }
    QByteArray bytes(size_t count)
    {
        count = std::min(count, size_t(end - at));
        at += count;
        return QByteArray(reinterpret_cast<const char *>(at - count), qsizetype(count));
    }
    // One of the choices, or a few bytes typed in as they come.
    QString text(std::initializer_list<const char *> choices)
    {
        const uint8_t pick = byte();
        if (pick % 16 < choices.size())
            return QString::fromUtf8(choices.begin()[pick % 16]);
        return QString::fromUtf8(bytes(pick / 16 % 8));
    }
};

// A fake link that reports each frame the engine hands it.
struct WatchedLink : FakeLink
{
    using FakeLink::FakeLink;
    std::function<void(const FakeLink &, const QByteArray &)> handedOn;
    bool write(const QByteArray &frame) override
    {
        handedOn(*this, frame);
        return FakeLink::write(frame);
    }
};

// Where "傳送" entries come from: the transmit routine alone writes one, and
// next either hands that frame to the link of the mode or, in TCP mode with the
// connection still being made, logs "-------正在連線-------" and leaves the
// frame to the connection event, which logs and sends it again. So, counting
// the frames handed on whether the link took them or not,
//     sends == handed + pending.
// The routine transmits for a Send (button, label or repeat pass) right after
// its exchange started, and for a TCP connection as it comes up; never more
// than once for each, and only within the step that started the exchange or
// accepted the connection. So every "傳送" needs a licence that a start or a
// connection grants and the entry, the end of the exchange or the step's end
// takes away, and sends <= starts + accepts: a Send that starts an exchange is
// logged once, and once more only when its frame waited for the connection.
class Run
{
public:
    Run()
    {
        serial.handedOn = tcp.handedOn = [this](const FakeLink &link, const QByteArray &frame) {
            // The frame the entry shows, on the link of the mode, connected;
            // the serial line carries only the frame of a running exchange.
            FUZZ_CHECK(m_shown && *m_shown == frame && link.isOpen());
            FUZZ_CHECK(&link == (engine.serialMode() ? &serial : &tcp));
            FUZZ_CHECK(&link == &tcp || engine.isWaiting());
            m_shown.reset();
            ++m_handed;
        };
        const auto on = [this](auto signal, auto slot) {
            QObject::connect(&engine, signal, &engine, slot);
        };
        on(&ExchangeEngine::logEntry, [this](const QString &text, int breaks) {
            if (m_shown) { // that frame waits for the connection
                FUZZ_CHECK(text == QStringLiteral("-------正在連線-------") &&
                           !engine.serialMode() && tcp.state() == Link::Connecting);
                m_shown.reset();
                ++m_pending;
            }
            // Only a reply has an entry of one line break, and it has ended the exchange.
            FUZZ_CHECK(breaks == 2 || (breaks == 1 && !engine.isWaiting()));
            // Without a reply, only the time-out or a Stop click ends an exchange.
            if (text == QStringLiteral("--------無回應--------") ||
                text == QStringLiteral("------9:連線錯誤------"))
                FUZZ_CHECK(std::exchange(m_stopClicked, false) ||
                           clock.now() >= replyTimeout.due());
            if (!text.startsWith(QStringLiteral("傳送")))
                return;
            FUZZ_CHECK(std::exchange(m_licence, false));
            ++m_sends;
            m_shown = QByteArray::fromHex(text.section(QStringLiteral(" > "), 1).toLatin1());
        });
        on(&ExchangeEngine::waitingChanged, [this](bool waiting) {
            // One exchange at a time, and each end is announced once.
            FUZZ_CHECK(waiting == engine.isWaiting());
            FUZZ_CHECK(waiting ? !m_waitingShown : !m_endPending);
            m_starts += waiting;
            m_licence = waiting;
            m_endPending = m_endPending || !waiting;
            m_waitingShown = waiting;
        });
        on(&ExchangeEngine::exchangeEnded,
           [this] { FUZZ_CHECK(std::exchange(m_endPending, false)); });
        on(&ExchangeEngine::repeatingChanged, [this](bool repeating) {
            FUZZ_CHECK(repeating == engine.isRepeating());
            if (repeating) {
                m_passes = qint64(roundHalfEven(numericValue(in.field[Count])));
                FUZZ_CHECK(m_passes >= 1 && m_passes <= 32767);
                m_runBase = repeatPause.starts();
            }
        });
        on(&ExchangeEngine::lineNumberChosen, [this](const QString &n) { in.field[SendCnt] = n; });
    }

    void step(Reader &input);
    void settle();

private:
    void check()
    {
        FUZZ_CHECK(!m_shown && !m_endPending && m_waitingShown == engine.isWaiting());
        // A waiting exchange always has its time-out running, so it ends without help.
        FUZZ_CHECK(!engine.isWaiting() || replyTimeout.isActive());
        FUZZ_CHECK(m_sends == m_handed + m_pending && m_sends <= m_starts + m_accepts);
        // A run takes at most its passes, the empty ones after a Stop included.
        FUZZ_CHECK(repeatPause.starts() - m_runBase <= m_passes);
    }
    // Bytes from the device, on the link of the mode or the other one, if it is open.
    void arrive(uint8_t link, const QByteArray &bytes)
    {
        FakeLink &to = (link & 1) == engine.serialMode() ? tcp : serial;
        if (to.isOpen() && !bytes.isEmpty())
            to.arrive(bytes);
    }
    // The peer's side of the links, when their state allows it.
    void peer(uint8_t event)
    {
        if (event == 0 && tcp.state() == Link::Connecting) {
            ++m_accepts;
            m_licence = true;
            tcp.acceptConnection();
        } else if (event == 1 && tcp.isOpen()) {
            tcp.peerCloses();
        } else if (event == 2 && (tcp.isOpen() || tcp.state() == Link::Connecting)) {
            tcp.peerResets();
        } else if (event == 3 && serial.isOpen()) {
            serial.deviceGone();
        }
    }

    Inputs in;
    ManualClock clock;
    ManualTimer replyTimeout{clock}, serialQuiet{clock}, repeatPause{clock};
    WatchedLink serial{FakeLink::Serial}, tcp{FakeLink::Tcp};
    ExchangeEngine engine{in, serial, tcp, {&replyTimeout, &serialQuiet, &repeatPause}};

    std::optional<QByteArray> m_shown; // the frame of the last "傳送" entry, not yet handed on
    bool m_licence = false, m_waitingShown = false, m_endPending = false, m_stopClicked = false;
    int m_sends = 0, m_handed = 0, m_pending = 0, m_starts = 0, m_accepts = 0, m_runBase = 0;
    qint64 m_passes = 0;
};

void Run::step(Reader &input)
{
    // What each first byte does (modulo the count).
    using Step = void (*)(Run &, Reader &);
    static constexpr Step steps[] = {
        [](Run &r, Reader &) {
            r.m_stopClicked = r.engine.isWaiting(); // the button reads "Stop"
            r.engine.send();
        },
        [](Run &r, Reader &in) { r.engine.sendLineOf(in.byte() % commandLineCount); },
        [](Run &r, Reader &) { r.engine.showCrc(); },
        [](Run &r, Reader &) {
            if (!r.engine.isWaiting()) // the window disables Mode meanwhile
                r.engine.toggleMode();
        },
        [](Run &r, Reader &) { r.engine.toggleRepeat(); },
        [](Run &r, Reader &in) {
            QString &field = r.in.field[in.byte() % Fields];
            field = in.text({"1", "2", "3", "0", "15", "16", "", "1.5", "2.5", "65536",
                             "2147483648", "/dev/ttyFAKE0"});
        },
        [](Run &r, Reader &in) {
            QString &line = r.in.cmd[in.byte() % commandLineCount];
            line = in.text({"010300000001", "0103020005", "01", "", "0x0103", "zz", "01 03"});
        },
        [](Run &r, Reader &) { r.in.drop = !r.in.drop; },
        [](Run &r, Reader &) { r.in.crc = !r.in.crc; },
        [](Run &r, Reader &in) { r.serial.openResult = LinkError(in.byte() % 4); },
        [](Run &r, Reader &) { r.serial.refuseWrites = r.tcp.refuseWrites = !r.tcp.refuseWrites; },
        [](Run &r, Reader &in) { r.peer(in.byte() % 4); },
        [](Run &r, Reader &in) { // bytes as they come, or a device that never stops
            const uint8_t link = in.byte(), count = in.byte();
            r.arrive(link, count == 255 ? QByteArray(8 * 1024, 'A') : in.bytes(count % 16));
        },
        [](Run &r, Reader &in) { // a reply to a read, maybe in two pieces some time apart
            const uint8_t link = in.byte(), count = in.byte() % 8;
            const QByteArray whole =
                buildFrame(QByteArray("\x01\x03", 2) + char(count) + in.bytes(count), true);
            const qsizetype at = in.byte() % (whole.size() + 1);
            r.arrive(link, whole.first(at));
            r.clock.advance(in.byte() * 100us);
            r.arrive(link, whole.sliced(at));
        },
        [](Run &r, Reader &) { r.clock.next(); },
        [](Run &r, Reader &in) {
            const uint8_t amount = in.byte();
            r.clock.advance(amount < 128 ? std::chrono::microseconds(amount * 100us)
                                         : (amount - 128) * 50ms);
        },
    };
    m_licence = m_stopClicked = false;
    steps[input.byte() % std::size(steps)](*this, input);
    check();
}

void Run::settle()
{
    // Nobody acts and the peer stays silent, except that it takes a connection
    // a run waits for; a run still going after a thousand waits is stopped.
    for (int fired = 0; engine.isRepeating() && fired < 1000; ++fired) {
        m_licence = false;
        if (clock.next())
            continue;
        // Nothing is armed: the run may only wait for its connection.
        FUZZ_CHECK(tcp.state() == Link::Connecting);
        peer(0);
    }
    m_licence = false;
    check();
    if (engine.isRepeating()) {
        // Fields the button takes: a Stop is refused with the count or stop line wrong.
        in.field[Count] = in.field[Stop] = QStringLiteral("1");
        engine.toggleRepeat();
        FUZZ_CHECK(!engine.isRepeating());
    }
    // Without a run, every wait ends: the last exchange's time-out, and the at
    // most 32767 empty passes left of a stopped run.
    FUZZ_CHECK(clock.runOut(1 << 16) < (1 << 16));
    check();
    FUZZ_CHECK(!engine.isWaiting() && !engine.isRepeating());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Every message box is answered at once, unseen.
    dialogs::setMessageHandler([](QWidget *, const MessageRequest &) { return MessageAnswer::Ok; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Reader input{data, data + size};
    Run run;
    while (input.at != input.end)
        run.step(input);
    run.settle();
    return 0;
}
