#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QTcpSocket>

namespace tallowick {

// The TCP client link. Its state is the small number the log and the state
// label show:
//   0 closed, 1 open, 2 listening, 3 connection pending, 4 resolving the host,
//   5 host resolved, 6 connecting, 7 connected, 8 the peer is closing, 9 error.
class TcpLink : public QObject
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

    explicit TcpLink(QObject *parent = nullptr);

    int state() const;
    static QString stateName(int state);

    // Drops whatever connection there was and starts a new attempt from a
    // system-chosen local port. Returns at once.
    void connectTo(const QString &host, quint16 port);
    // Sends the whole frame; false when not connected.
    bool send(const QByteArray &frame);
    QByteArray fetch();
    // Closing a closed link does nothing.
    void close();
    QString lastError() const { return m_lastError; }

signals:
    void connected();   // once per connection
    void dataArrived(); // bytes are waiting

private:
    QTcpSocket m_socket;
    bool m_failed = false; // the last attempt or connection ended in an error
    QString m_lastError;
};

} // namespace tallowick
