#pragma once

// Starts the libmodbus RTU slave (tests/peers/rtu_slave.cpp) for one test and
// stops it again. Its first output line names where it serves.
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tallowick::test {

class SlavePeer
{
public:
    // "pty" or "tcp".
    explicit SlavePeer(const QString &mode)
    {
        m_process.setProgram(QStringLiteral(TALLOWICK_RTU_SLAVE));
        m_process.setArguments({mode});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return;
        while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
        }
        const QStringList words = QString::fromLocal8Bit(m_process.readLine()).split(u' ');
        if (words.size() == 2)
            m_where = words.at(1).trimmed();
    }

    ~SlavePeer()
    {
        // The slave ends when its stdin closes; a bounded wait, then the hard way.
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(2000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    SlavePeer(const SlavePeer &) = delete;
    SlavePeer &operator=(const SlavePeer &) = delete;

    bool isRunning() const { return !m_where.isEmpty(); }
    // The pty slave path, or the TCP port on 127.0.0.1.
    QString where() const { return m_where; }

private:
    QProcess m_process;
    QString m_where;
};

} // namespace tallowick::test
