#include "links/tcp_link.h"

#include <iterator>

namespace tallowick {

namespace {
// Bytes the socket hands over per arrival at most. A Modbus reply is far
// smaller; a peer that floods the link is taken in arrivals of this size, each
// logged on its own, so that the window keeps turning between them instead of
// rendering megabytes of frame text in one go.
constexpr qint64 arrivalLimit = 8 * 1024;
} // namespace

TcpLink::TcpLink(QObject *parent) : Link(parent)
{
    m_socket.setObjectName(QStringLiteral("Winsock"));
    m_socket.setReadBufferSize(arrivalLimit);
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_failed = false;
        // A frame must leave at once, not wait for more bytes to join it.
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        emit connected();
    });
    connect(&m_socket, &QTcpSocket::readyRead, this, &TcpLink::dataArrived);
    connect(&m_socket, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                m_lastError = m_peer + QStringLiteral(": ") + m_socket.errorString();
                // A peer that closes in good order leaves the link closed, not failed.
                if (error != QAbstractSocket::RemoteHostClosedError)
                    m_failed = true;
                emit failed(m_lastError);
            });
}

int TcpLink::state() const
{
    // By QAbstractSocket::SocketState, in its order.
    static constexpr int states[] = {Closed, ResolvingHost, Connecting, Connected,
                                     Open,   Listening,     Closing};
    const auto socketState = m_socket.state();
    if (socketState == QAbstractSocket::UnconnectedState)
        return m_failed ? Error : Closed;
    const auto index = size_t(socketState);
    return index < std::size(states) ? states[index] : Closed;
}

LinkError TcpLink::open(const LinkTarget &target)
{
    m_socket.abort();
    m_failed = false;
    m_lastError.clear();
    m_peer = target.host + u':' + QString::number(target.port);
    m_socket.connectToHost(target.host, target.port);
    return LinkError::None;
}

bool TcpLink::write(const QByteArray &frame)
{
    // Out now, not once the event loop has finished its turn and polled the
    // socket: the reply is on its way while the window finishes the turn.
    return m_socket.state() == QAbstractSocket::ConnectedState && writeNow(m_socket, frame);
}

QByteArray TcpLink::readAll()
{
    return m_socket.readAll();
}

void TcpLink::close()
{
    if (m_socket.state() != QAbstractSocket::UnconnectedState) {
        m_socket.flush();
        m_socket.abort();
    }
    m_failed = false;
}

} // namespace tallowick

#include "moc_tcp_link.cpp"
