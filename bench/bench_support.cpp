#include "bench_support.h"

#include "engine/command_text.h"
#include "frames/crc.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <sys/resource.h>

namespace tallowick::bench {

qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::chrono::nanoseconds processCpuTime()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

std::chrono::microseconds childrenCpuTime()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto time = [](const timeval &t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return time(usage.ru_utime) + time(usage.ru_stime);
}

qint64 residentKiB(qint64 pid)
{
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid)
                         : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

double loadAverage()
{
    double load = 0;
    if (FILE *file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1)
            load = 0;
        std::fclose(file);
    }
    return load;
}

Stats statsOf(std::vector<double> values)
{
    Stats s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    s.count = int(n);
    s.min = values.front();
    s.max = values.back();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    // Nearest rank.
    s.p99 = values[size_t(std::ceil(0.99 * double(n))) - 1];
    return s;
}

QString commandLineText(int index)
{
    return QStringLiteral("0103%1").arg(index, 4, 16, QChar(u'0')).toUpper() +
           QStringLiteral("0001");
}

QByteArray commandLineFrame(int index)
{
    return commandFrame(commandLineText(index), true)->bytes;
}

qsizetype rtuRequestLength(QByteArrayView buffer)
{
    if (buffer.size() < 2)
        return 0;
    qsizetype length = buffer.size();
    switch (quint8(buffer[1])) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x05:
    case 0x06:
        length = 8;
        break;
    case 0x0F:
    case 0x10:
        if (buffer.size() < 7)
            return 0;
        length = 9 + quint8(buffer[6]);
        break;
    default:
        break; // unknown: whatever has come
    }
    return buffer.size() >= length ? length : 0;
}

QByteArray rtuAnswer(QByteArrayView request)
{
    QByteArray answer;
    const auto function = request.size() >= 2 ? quint8(request[1]) : 0;
    if ((function == 0x03 || function == 0x04) && request.size() >= 6) {
        const int first = quint8(request[2]) << 8 | quint8(request[3]);
        const int count = std::min(quint8(request[4]) << 8 | quint8(request[5]), 125);
        answer.append(request.first(2).toByteArray());
        answer.append(char(count * 2));
        for (int i = 0; i < count; ++i) {
            answer.append(char(((first + i) >> 8) & 0xFF));
            answer.append(char((first + i) & 0xFF));
        }
        answer.append(2, '\0');
    } else {
        answer = request.toByteArray(); // single writes and the rest: an echo
        if (answer.size() < 4)
            answer.append(2, '\0');
    }
    const quint16 crc = CRC16(answer);
    answer[answer.size() - 2] = char(crc & 0xFF);
    answer[answer.size() - 1] = char(crc >> 8);
    return answer;
}

QByteArray floodPattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

QByteArray fullConfigFile(quint16 port)
{
    QList<QByteArray> lines{
        "[SETTINGS]",   "FILENAME=benchmark", "IP=127.0.0.1",   "PORT=" + QByteArray::number(port),
        "TIMEOUT=1000", "REPEAT=10",          "REPEAT_START=1", "REPEAT_STOP=15",
        "SEND_CNT=1",   "REPEAT_CNT=1"};
    for (int i = 0; i < 15; ++i)
        lines << "CMD" + QByteArray::number(i) + '=' + commandLineText(i).toLatin1();
    for (int i = 0; i < 15; ++i)
        lines << "noteText" + QByteArray::number(i) + "=read holding register " +
                     QByteArray::number(i);
    return lines.join("\r\n") + "\r\n";
}

// --- peers and the window ---------------------------------------------------

test::PeerProcess startResponder(qsizetype floodBytes)
{
    return test::PeerProcess(QCoreApplication::applicationFilePath(),
                             {QStringLiteral("--responder"), QString::number(floodBytes)});
}

Window::Window(quint16 port) : WindowFixture(true, fullConfigFile(port))
{
    if (!QTest::qWaitForWindowExposed(window.get()))
        std::fprintf(stderr, "the main window was not exposed\n");
    if (!ui().crcEN->isChecked())
        click(ui().crcEN);
}

void runEventLoopFor(std::chrono::milliseconds time)
{
    QEventLoop loop;
    QTimer::singleShot(time, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace tallowick::bench
