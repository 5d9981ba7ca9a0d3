#pragma once

// What the device's rows share: the map it serves, the program started on
// its links, and the requests a raw client sends it.
#include "support/device_process.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace tallowick::bench {

// tallowick-device on a map of 100 holding registers, each 5 at the start,
// its records thrown away. Serving once waitServing() says so.
class DevicePeer
{
public:
    explicit DevicePeer(const QStringList &links);

    // Empty when it serves; else why not.
    QString trouble() const { return m_trouble; }
    test::DeviceProcess &process() { return *m_process; }
    quint16 port(const QString &kind) const { return m_process->port(kind); }
    qint64 pid() const { return m_pid; }

private:
    QTemporaryDir m_folder;
    std::unique_ptr<test::DeviceProcess> m_process;
    QString m_trouble;
    qint64 m_pid = 0;
};

// Request i of a run, unit 1: a read of one holding register and a write of
// one in turn, over the first 100.
QByteArray rtuRequest(int i);
QByteArray mbapAdu(int i);
// The length of its answer when all is well.
qsizetype rtuAnswerLength(int i);
qsizetype mbapAnswerLength(int i);

} // namespace tallowick::bench
