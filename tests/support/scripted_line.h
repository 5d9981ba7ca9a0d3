#pragma once

#include <QByteArray>
#include <QList>

#include <chrono>
#include <thread>

namespace tallowick::test {

class PtyPair;

// A bus that plays a script into a pty: each frame arrives when its last
// byte would have ended on a line of the given baud rate (10-bit
// characters), as an adapter hands a frame over, or byte by byte, each as its
// stop bit ends, as a UART hands them over; then the line is silent for the
// step's silence. Each write is timed from the moment the one before was
// actually written, so a late wake-up never shortens a silence; how late the
// latest was tells whether the bus was played as written.
struct LineStep
{
    QByteArray bytes;
    std::chrono::microseconds silenceAfter{0};
    bool byteByByte = false;
    // Byte by byte: a silence of the sender before the byte at pauseBefore.
    std::chrono::microseconds pause{0};
    qsizetype pauseBefore = 0;
};

class ScriptedLine
{
public:
    ScriptedLine(PtyPair &pty, qint32 baudRate, QList<LineStep> steps);
    // Waits for the script to end.
    ~ScriptedLine();
    ScriptedLine(const ScriptedLine &) = delete;
    ScriptedLine &operator=(const ScriptedLine &) = delete;

    void start();
    void wait();
    // After wait(): the most any write came after its time.
    std::chrono::microseconds latest() const { return m_latest; }

private:
    PtyPair &m_pty;
    std::chrono::nanoseconds m_characterTime;
    QList<LineStep> m_steps;
    std::thread m_thread;
    std::chrono::microseconds m_latest{0};
};

} // namespace tallowick::test
