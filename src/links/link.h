#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <optional>

#include "links/serial_settings.h"

#include <optional>

namespace tallowick {

// Why opening a link failed. The two named kinds are the ones the user is told
// about with their own message; everything else is "other".
enum class LinkError {
    None,
    InvalidPort,     // no such port (the classic error 8002)
    InvalidSettings, // a line settings text the port does not accept (380)
    Other,           // busy, no permission, ...
};

// Where a link goes: the serial link reads the port and line settings, the TCP
// link the host and port.
struct LinkTarget
{
    QString comSelect;
    QString configCom;
    QString host;
    quint16 port = 0;

    static LinkTarget serial(const QString &comSelect, const QString &configCom)
    {
        return {comSelect, configCom, {}, 0};
    }
    static LinkTarget tcp(const QString &host, quint16 port) { return {{}, {}, host, port}; }
};

// A link to the device, serial or TCP. Its state is the small number the log
// and the state label show:
//   0 closed, 1 open, 2 listening, 3 connection pending, 4 resolving the host,
//   5 host resolved, 6 connecting, 7 connected, 8 the peer is closing, 9 error.
// A serial port is either closed or connected.
class Link : public QObject
{
    Q_OBJECT
public:
    enum State {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        Closing = 8,
        Error = 9,
    };

    using QObject::QObject;

    // The serial link opens at once and says why it could not; the TCP link
    // drops whatever connection it had, starts a new attempt and returns at
    // once (connected() follows).
    virtual LinkError open(const LinkTarget &target) = 0;
    // Puts the whole frame on the link now; false when the link is not
    // connected or refused it.
    virtual bool write(const QByteArray &frame) = 0;
    virtual QByteArray readAll() = 0;
    // Closing a closed link does nothing.
    virtual void close() = 0;
    virtual int state() const = 0;
    // The line's settings, for its timing (the end of a frame); none where
    // the link has no line.
    virtual std::optional<LineSettings> lineSettings() const { return std::nullopt; }
    // Why the last open() failed, or why the link failed since, in the
    // system's words; empty when neither happened.
    virtual QString lastError() const { return {}; }
    // Whether the link tells when each write's last byte has left
    // (lastDeparture()); elsewhere a frame has left once write() returns.
    virtual bool tellsDeparture() const { return false; }
    // When the last byte of the latest write left. It waits for that to be
    // known, which takes no longer than the rest of the frame on the line.
    virtual std::optional<std::chrono::steady_clock::time_point> lastDeparture()
    {
        return std::nullopt;
    }

    bool isOpen() const { return state() == Connected; }
    // "sckClosed" ... "sckError"; empty for a number that is no state.
    static QString stateName(int state);

signals:
    void connected();   // once per connection
    void dataArrived(); // bytes are waiting
    // The device went away while open (a USB adapter pulled out, a pty
    // closed), or the connection failed or was closed by the peer.
    void failed(const QString &reason);
};

// Writes the whole frame and hands it to the system at once (a serial port's
// or a socket's flush()), rather than at the next turn of the event loop.
template <class Device> bool writeNow(Device &device, const QByteArray &frame)
{
    if (device.write(frame) != frame.size())
        return false;
    device.flush();
    return true;
}

} // namespace tallowick
