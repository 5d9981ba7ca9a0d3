// An independent Modbus RTU slave for the exchange tests, built on libmodbus.
//
//   rtu_slave pty         serves on a new pseudo-terminal; prints "PATH <slave path>"
//   rtu_slave tcp [port]  serves RTU frames (no MBAP header) over TCP on 127.0.0.1,
//                         one client at a time; prints "PORT <n>" (0 or none: any port)
//
// Unit 1; holding and input registers 0 to 9 hold 5, 0, 0, ...; coils 0 to 15 are off.
// Runs until it is killed or its stdin is closed.
#include <modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

modbus_mapping_t *makeMapping()
{
    modbus_mapping_t *mapping = modbus_mapping_new(16, 16, 10, 10);
    mapping->tab_registers[0] = 5;
    mapping->tab_input_registers[0] = 5;
    return mapping;
}

bool stdinClosed()
{
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0)
        return false;
    char c;
    return read(STDIN_FILENO, &c, 1) <= 0;
}

// Serves requests arriving on fd until it closes or stdin does. libmodbus reads
// and writes the descriptor it is given, whatever kind it is.
void serve(modbus_t *ctx, modbus_mapping_t *mapping, int fd)
{
    modbus_set_socket(ctx, fd);
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        pollfd p[2] = {{fd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(p, 2, -1) < 0 && errno != EINTR)
            return;
        if (p[1].revents && stdinClosed())
            std::exit(0);
        if (!(p[0].revents & POLLIN))
            continue;
        const int length = modbus_receive(ctx, query);
        if (length > 0)
            modbus_reply(ctx, query, length, mapping);
        else if (length < 0 && (errno == ECONNRESET || errno == EBADF))
            return;
    }
}

int servePty(modbus_t *ctx, modbus_mapping_t *mapping)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0)
        return 1;
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    // The slave side stays open here too, so the program under test can close
    // and reopen it without the master seeing a hang-up.
    std::printf("PATH %s\n", name);
    std::fflush(stdout);
    serve(ctx, mapping, master);
    return 0;
}

int serveTcp(modbus_t *ctx, modbus_mapping_t *mapping, int port)
{
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(listener, 4) != 0)
        return 1;
    socklen_t size = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size);
    std::printf("PORT %d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    for (;;) {
        pollfd p[2] = {{listener, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(p, 2, -1) < 0 && errno != EINTR)
            return 1;
        if (p[1].revents && stdinClosed())
            return 0;
        if (!(p[0].revents & POLLIN))
            continue;
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            continue;
        serve(ctx, mapping, client);
        close(client);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s pty | tcp [port]\n", argv[0]);
        return 2;
    }
    // The device name is never opened: the descriptor is handed over directly.
    modbus_t *ctx = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    modbus_set_slave(ctx, 1);
    modbus_mapping_t *mapping = makeMapping();
    const int rc = std::strcmp(argv[1], "pty") == 0
                       ? servePty(ctx, mapping)
                       : serveTcp(ctx, mapping, argc > 2 ? std::atoi(argv[2]) : 0);
    modbus_mapping_free(mapping);
    modbus_free(ctx);
    return rc;
}
