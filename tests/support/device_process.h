#pragma once

#include "support/peers.h"

#include <QString>

namespace tallowick::test {

// tallowick-device as a child process with no display. It serves once every
// link is open, which it says in one line on standard error:
//   tallowick-device: serving map.csv as unit 1 on serial /dev/pts/3 (9600,n,8,1),
//   tcp 127.0.0.1:40123, mbap 127.0.0.1:40124
// from which the ports the system chose are taken.
class DeviceProcess : public ProgramProcess
{
public:
    using ProgramProcess::ProgramProcess;

    // Waits for that line: false when the device ended or did not say it
    // within `ms`; what it said then is in errors().
    bool waitServing(int ms = 10000);
    // The port of its "tcp" or "mbap" link; 0 when it has none.
    quint16 port(const QString &kind) const;
    qint64 pid() { return process().processId(); }
    // What it has written on standard error so far.
    QString errors() const { return m_errors; }

private:
    QString m_errors;
};

} // namespace tallowick::test
