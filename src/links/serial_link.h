#pragma once

#include "links/link.h"

#include <QSerialPort>

#include <chrono>
#include <functional>
#include <thread>

namespace tallowick {

// The serial port: opened with a `comSelect` text and a `configCOM` text,
// bytes written raw, every arrival signalled on the UI thread.
class SerialLink : public Link
{
    Q_OBJECT
public:
    explicit SerialLink(QObject *parent = nullptr);
    ~SerialLink() override;

    // Blocks until what was written to the descriptor has left the port, and
    // says when that was.
    using Drain = std::function<std::chrono::steady_clock::time_point(int fd)>;
    // tcdrain(): returns once the last bit is on the line.
    static std::chrono::steady_clock::time_point drainOutput(int fd);
    // After each write, drains the port off this thread and tells the moment
    // (lastDeparture()): a request's time runs from its last byte leaving, which at
    // 9600 baud is ~1 ms a byte after the write returned. The window does not
    // ask for it.
    void watchDrain(Drain drain);

    // Port number, line settings, open, RTS off, in this order.
    LinkError open(const LinkTarget &target) override;
    bool write(const QByteArray &frame) override;
    QByteArray readAll() override;
    void close() override;
    int state() const override;
    std::optional<LineSettings> lineSettings() const override;
    // Why the last open() failed, or why the open port failed since, naming
    // the port, in the system's words.
    QString lastError() const override { return m_lastError; }
    bool tellsDeparture() const override { return bool(m_drain); }
    std::optional<std::chrono::steady_clock::time_point> lastDeparture() override;

private:
    void onError(QSerialPort::SerialPortError error);
    void drainAfterWrite();
    void awaitDrain();

    QSerialPort m_port;
    std::optional<LineSettings> m_settings; // while open
    Drain m_drain;
    std::thread m_drainer;
    // The latest drain's moment, written by its thread, read once it is joined.
    std::optional<std::chrono::steady_clock::time_point> m_departedAt;
    QString m_path; // the device path of the port last opened
    QString m_lastError;
};

} // namespace tallowick
