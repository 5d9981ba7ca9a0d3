#include "bench_device_peer.h"

#include "frames/crc.h"

#include <QFile>

namespace tallowick::bench {

DevicePeer::DevicePeer(const QStringList &links)
{
    const QString map = m_folder.filePath(QStringLiteral("map.csv"));
    QFile file(map);
    if (!m_folder.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write("table,address,type,value\nholding,0-99,u16,5\n") < 0) {
        m_trouble = QStringLiteral("the map could not be written");
        return;
    }
    file.close();
    m_process = std::make_unique<test::DeviceProcess>(
        QStringLiteral(TALLOWICK_DEVICE), links + QStringList{map},
        [](QProcess &process) { process.setStandardOutputFile(QProcess::nullDevice()); });
    if (!m_process->waitServing())
        m_trouble = QStringLiteral("the device did not serve: ") + m_process->errors().trimmed();
    m_pid = m_process->pid();
}

namespace {

QByteArray pdu(int i)
{
    const int address = (i / 2) % 100;
    QByteArray bytes(i % 2 ? "\x06" : "\x03", 1);
    bytes.append(char(0));
    bytes.append(char(address));
    bytes.append(char(i % 2 ? (i >> 8) & 0xFF : 0));
    bytes.append(char(i % 2 ? i & 0xFF : 1));
    return bytes;
}

} // namespace

QByteArray rtuRequest(int i)
{
    return withCrc('\x01' + pdu(i));
}

QByteArray mbapAdu(int i)
{
    const QByteArray body = '\x01' + pdu(i);
    QByteArray frame;
    frame.append(char((i >> 8) & 0xFF));
    frame.append(char(i & 0xFF));
    frame.append(2, '\0');
    frame.append(char(0));
    frame.append(char(body.size()));
    return frame + body;
}

qsizetype rtuAnswerLength(int i)
{
    return i % 2 ? 8 : 7;
}

qsizetype mbapAnswerLength(int i)
{
    return i % 2 ? 12 : 11;
}

} // namespace tallowick::bench
