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

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

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

qint64 cpuTicksOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // After the name in parentheses: state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
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

test::PeerProcess startResponder(qsizetype floodBytes, bool mbap)
{
    QStringList arguments{QStringLiteral("--responder"), QString::number(floodBytes)};
    if (mbap)
        arguments << QStringLiteral("mbap");
    return test::PeerProcess(QCoreApplication::applicationFilePath(), arguments);
}

BlockingClient::BlockingClient(quint16 port)
{
    m_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int yes = 1;
    setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

BlockingClient::~BlockingClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool BlockingClient::exchange(const QByteArray &request, qsizetype answerLength, char *answer)
{
    // A peer that has gone fails the exchange rather than end the benchmark.
    if (m_fd < 0 ||
        ::send(m_fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) != request.size())
        return false;
    char buffer[256];
    if (!answer)
        answer = buffer;
    answerLength = std::min<qsizetype>(answerLength, sizeof buffer);
    qsizetype got = 0;
    while (got < answerLength) {
        const ssize_t n = ::read(m_fd, answer + got, size_t(answerLength - got));
        if (n <= 0)
            return false;
        got += n;
    }
    return true;
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
