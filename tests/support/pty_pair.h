#pragma once

#include <QByteArray>
#include <QString>

namespace tallowick::test {

// A pseudo-terminal pair: the program opens the slave side by its path, the
// test reads and writes the master side. Raw mode, no echo.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    // Its line settings are the slave side's, as the program set them.
    int masterFd() const { return m_master; }

    void write(const QByteArray &bytes);
    // Closes the master side, as pulling a USB adapter ends its device.
    void hangUp();
    // Reads what has arrived on the master side, waiting at most timeoutMs for
    // the first byte and then until the line has been quiet for quietMs.
    QByteArray read(int timeoutMs = 2000, int quietMs = 50);

private:
    int m_master = -1;
    int m_slave = -1; // kept open so the slave path stays valid between opens
    QString m_slavePath;
};

} // namespace tallowick::test
