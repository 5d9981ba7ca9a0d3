#include "device/tcp_slave.h"

#include "device/reply_queue.h"
#include "device/request_stream.h"
#include "frames/mbap.h"

#include <QTcpSocket>

namespace tallowick {

// One client: its bytes cut into requests, its replies in order. Lives as
// long as its socket.
class TcpSlave::Connection : public QObject
{
public:
    Connection(LinkKind kind, QTcpSocket *socket, const QString &link, SlaveHost &host,
               QObject *parent)
        : QObject(parent), m_kind(kind), m_socket(socket), m_host(host),
          m_partial(host.newTimer(this)),
          m_replies(new ReplyQueue(
              host,
              {link, listenText(socket->peerAddress().toString(), socket->peerPort()),
               [this](QByteArrayView bytes) {
                   // Handed to the system at once: a reply recorded as sent
                   // is on its way even if the device ends right after.
                   m_socket->write(bytes.data(), bytes.size());
                   m_socket->flush();
               },
               [](qsizetype) { return std::chrono::nanoseconds(0); }, [this] { m_socket->abort(); },
               std::chrono::microseconds(0)},
              this))
    {
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, &Connection::readable);
        connect(socket, &QTcpSocket::disconnected, this, &Connection::ended);
        connect(m_partial, &OneShotTimer::timeout, this, &Connection::partialEnded);
    }

    void stop()
    {
        m_partial->stop();
        m_replies->drop();
    }

private:
    void readable()
    {
        const QByteArray bytes = m_socket->readAll();
        const qint64 now = m_host.nowUs();
        if (m_kind == LinkKind::Mbap)
            takeMbap(bytes, now);
        else
            takeRtu(bytes, now);
        if (m_rtu.held().isEmpty() && m_mbap.buffered() == 0)
            m_partial->stop();
        else
            m_partial->start(partialFrameWait);
    }

    void takeMbap(const QByteArray &bytes, qint64 now)
    {
        m_mbap.feed(bytes);
        for (;;) {
            MbapRead read = m_mbap.take();
            if (auto *frame = std::get_if<MbapFrame>(&read)) {
                m_replies->push(m_host.serve(LinkKind::Mbap, frame->adu), now);
                continue;
            }
            if (auto *bad = std::get_if<MbapBadLength>(&read)) {
                // Nothing after a length no frame has can be framed again.
                m_replies->push(m_host.refuse(m_kind,
                                              bad->length < mbapLeastLength ? Result::TooShort
                                                                            : Result::TooLong,
                                              bad->held),
                                now);
                m_replies->drop();
                m_socket->abort();
            }
            return;
        }
    }

    void takeRtu(const QByteArray &bytes, qint64 now)
    {
        m_rtu.feed(bytes);
        while (const auto request = m_rtu.take())
            m_replies->push(m_host.serve(LinkKind::RtuOverTcp, *request), now);
    }

    void partialEnded()
    {
        const QByteArray held = m_kind == LinkKind::Mbap ? m_mbap.held() : m_rtu.held();
        m_mbap.clear();
        m_rtu.clear();
        if (!held.isEmpty())
            m_replies->push(m_host.refuse(m_kind, Result::TooShort, held), m_host.nowUs());
    }

    void ended()
    {
        m_partial->stop();
        partialEnded();
        m_replies->drop();
        deleteLater();
    }

    LinkKind m_kind;
    QTcpSocket *m_socket;
    SlaveHost &m_host;
    OneShotTimer *m_partial;
    ReplyQueue *m_replies;
    RtuRequestStream m_rtu;
    MbapReader m_mbap;
};

TcpSlave::TcpSlave(LinkKind kind, SlaveHost &host, QObject *parent)
    : QObject(parent), m_kind(kind), m_host(host)
{
    connect(&m_server, &QTcpServer::newConnection, this, &TcpSlave::accept);
}

TcpSlave::~TcpSlave() = default;

std::optional<QString> TcpSlave::listen(const ListenAddress &address)
{
    QHostAddress host;
    if (!host.setAddress(address.host))
        return QStringLiteral("cannot listen on %1: not an IP address")
            .arg(listenText(address.host, address.port));
    if (!m_server.listen(host, address.port))
        return QStringLiteral("cannot listen on %1: %2")
            .arg(listenText(address.host, address.port), m_server.errorString());
    m_name = (m_kind == LinkKind::Mbap ? QStringLiteral("mbap ") : QStringLiteral("tcp ")) +
             listenText(address.host, m_server.serverPort());
    return std::nullopt;
}

void TcpSlave::stop()
{
    m_server.close();
    emit stopping();
}

void TcpSlave::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        auto *connection = new Connection(m_kind, socket, m_name, m_host, this);
        connect(this, &TcpSlave::stopping, connection, &Connection::stop);
    }
}

} // namespace tallowick

#include "moc_tcp_slave.cpp"
