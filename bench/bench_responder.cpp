// The RTU-over-TCP responder: a device that answers every request at once, or
// floods it with a long run of bytes.
// It runs as a child process, so that its work is not counted against the
// program, and serves the program and the plain socket client alike.
#include "bench_responder.h"

#include "bench_support.h"

#include <QByteArray>

#include <cerrno>
#include <cstdio>
#include <map>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tallowick::bench {

namespace {

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// How many bytes of `buffer` the first Modbus TCP request takes (its MBAP
// header says); 0 while incomplete.
qsizetype mbapRequestLength(QByteArrayView buffer)
{
    if (buffer.size() < 6)
        return 0;
    const qsizetype length = 6 + (quint8(buffer[4]) << 8 | quint8(buffer[5]));
    return buffer.size() >= length ? length : 0;
}

// The RTU answer to the unit and PDU of a Modbus TCP request, its CRC dropped,
// behind the request's header with the new length.
QByteArray mbapAnswer(QByteArrayView request)
{
    QByteArray rtu = request.sliced(6).toByteArray();
    rtu.append(2, '\0');
    QByteArray answer = request.first(4).toByteArray();
    const QByteArray body = rtuAnswer(rtu).chopped(2);
    answer.append(char(body.size() >> 8));
    answer.append(char(body.size() & 0xFF));
    return answer + body;
}

// Answers every whole request in `buffer`, with the flood when there is one,
// and counts it; false when the client is gone.
bool serveRequests(int fd, QByteArray &buffer, const QByteArray &flood, bool mbap,
                   quint64 &answered)
{
    while (const qsizetype length = mbap ? mbapRequestLength(buffer) : rtuRequestLength(buffer)) {
        const QByteArrayView request = QByteArrayView(buffer).first(length);
        const QByteArray answer = !flood.isEmpty() ? flood
                                  : mbap           ? mbapAnswer(request)
                                                   : rtuAnswer(request);
        if (!writeAll(fd, answer))
            return false;
        ++answered;
        buffer.remove(0, length);
    }
    return true;
}

} // namespace

int runResponder(qsizetype floodBytes, bool mbap)
{
    const QByteArray flood = floodBytes > 0 ? floodPattern(floodBytes) : QByteArray();
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0)
        return 1;
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size);
    std::printf("PORT %d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    std::map<int, QByteArray> clients;
    quint64 answered = 0;
    for (;;) {
        std::vector<pollfd> fds{{STDIN_FILENO, POLLIN, 0}, {listener, POLLIN, 0}};
        for (const auto &client : clients)
            fds.push_back({client.first, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (fds[0].revents) {
            char c;
            if (::read(STDIN_FILENO, &c, 1) <= 0)
                break; // the benchmark is done with us
            // Any other byte asks how many requests were answered so far.
            std::printf("ANSWERED %llu\n", static_cast<unsigned long long>(answered));
            std::fflush(stdout);
        }
        if (fds[1].revents & POLLIN) {
            const int client = accept(listener, nullptr, nullptr);
            if (client >= 0) {
                setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
                clients[client];
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            const int fd = fds[i].fd;
            char chunk[4096];
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            QByteArray &buffer = clients[fd];
            if (n > 0)
                buffer.append(chunk, n);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN) ||
                !serveRequests(fd, buffer, flood, mbap, answered)) {
                ::close(fd);
                clients.erase(fd);
            }
        }
    }
    for (const auto &client : clients)
        ::close(client.first);
    ::close(listener);
    return 0;
}

} // namespace tallowick::bench
