#pragma once

// The device on TCP: RTU frames on a socket, or Modbus TCP. Each connection
// is cut into requests and answered on its own, in the order its requests
// came: a client that sends half a frame, or nothing, holds up nobody else.

#include "device/device_options.h"
#include "device/slave_host.h"

#include <QObject>
#include <QTcpServer>

namespace tallowick {

class TcpSlave : public QObject
{
    Q_OBJECT
public:
    // kind: RtuOverTcp or Mbap.
    TcpSlave(LinkKind kind, SlaveHost &host, QObject *parent = nullptr);
    ~TcpSlave() override;

    // Why it cannot listen there, in the system's words; nothing once it does.
    std::optional<QString> listen(const ListenAddress &address);
    // "tcp 127.0.0.1:5020" or "mbap 127.0.0.1:5502", the port as bound.
    QString name() const { return m_name; }
    // The device ends: no more connections; the replies still waiting on
    // each are done, unsent.
    void stop();

    // An RTU frame on a socket that stops coming for this long is cut short:
    // its bytes are counted as too short, and the next frame starts afresh.
    static constexpr std::chrono::seconds partialFrameWait{1};

signals:
    void stopping();

private:
    class Connection;
    void accept();

    LinkKind m_kind;
    SlaveHost &m_host;
    QTcpServer m_server;
    QString m_name;
};

} // namespace tallowick
