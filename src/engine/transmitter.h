#pragma once

#include <QObject>

namespace tallowick {

struct Context;

// How a run of the transmit routine ended.
enum class TransmitResult {
    Sent,              // the frame went to the link
    Shown,             // CRC Calculate: the frame was logged, not sent
    Pending,           // the socket is still connecting; its connection event sends
    Refused,           // the line number names no command line
    Rejected,          // the command text is not hexadecimal
    SerialWriteFailed, // the serial port would not take the frame
    SocketSendFailed,  // the socket would not take the frame
    NotForThisLink,    // a connection event while the serial link is chosen
};

// The transmit routine: chooses the line, builds the frame, logs it and hands
// it to the link. Also the handler of the socket's connection event and of
// "CRC Calculate".
class Transmitter : public QObject
{
    Q_OBJECT
public:
    explicit Transmitter(Context &context, QObject *parent = nullptr);

    TransmitResult Winsock_Connect();
    void crcCalc_Click();

signals:
    // Reported for runs that have no caller to tell (the connection event).
    void transmitFailed(TransmitResult result);

private:
    void onConnected();
    // The zero-based line index, or -1 after refusing the line number.
    int chooseLine();
    void refuseLine(const QString &lineText);

    Context &m_ctx;
};

} // namespace tallowick
