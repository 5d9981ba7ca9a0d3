// An independent Modbus RTU slave for the exchange tests, built on libmodbus.
//
//   rtu_slave pty   serves on a new pseudo-terminal; prints "PATH <slave path>"
//   rtu_slave tcp   serves RTU frames (no MBAP header) over TCP on 127.0.0.1,
//                   one client at a time; prints "PORT <n>"
//   rtu_slave tcp-once  likewise, but stops listening once its first client is
//                   accepted and ends when that client goes: a peer gone after
//                   one connection, with no moment for a test to wait for
//   rtu_slave mbap  serves Modbus TCP (libmodbus's own TCP framing, MBAP
//                   header and no CRC) likewise
//
// Unit 1; holding and input registers 0 to 9 hold 5, 0, 0, ...; coils 0 to 15 are off.
// Runs until it is killed or its stdin is closed (the test that started it ended).
#include <modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {

// Serves the requests arriving on fd until it closes. libmodbus reads and
// writes the descriptor it is given, whatever kind it is.
void serve(modbus_t *ctx, modbus_mapping_t *mapping, int fd)
{
    modbus_set_socket(ctx, fd);
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    for (;;) {
        pollfd p[2] = {{fd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        char c;
        if (poll(p, 2, -1) < 0 || (p[1].revents && read(STDIN_FILENO, &c, 1) <= 0))
            std::exit(0);
        if (!(p[0].revents & (POLLIN | POLLHUP)))
            continue;
        const int length = modbus_receive(ctx, query);
        if (length > 0)
            modbus_reply(ctx, query, length, mapping);
        else if (length < 0 && (errno == ECONNRESET || errno == EBADF))
            return;
    }
}

} // namespace

int main(int argc, char **argv)
{
    const bool mbap = argc == 2 && std::strcmp(argv[1], "mbap") == 0;
    const bool once = argc == 2 && std::strcmp(argv[1], "tcp-once") == 0;
    // The device name is never opened: the descriptor is handed over directly.
    // libmodbus's TCP context answers unit ids of any value, as a gateway's
    // devices would be: unit 1 is set all the same.
    modbus_t *ctx =
        mbap ? modbus_new_tcp("127.0.0.1", 0) : modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    modbus_set_slave(ctx, 1);
    modbus_mapping_t *mapping = modbus_mapping_new(16, 16, 10, 10);
    mapping->tab_registers[0] = 5;
    mapping->tab_input_registers[0] = 5;
    if (argc == 2 && std::strcmp(argv[1], "pty") == 0) {
        // The slave side stays open here too, so the program under test can
        // close and open it again without the master seeing a hang-up.
        termios raw{};
        cfmakeraw(&raw);
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, &raw, nullptr) != 0)
            return 1;
        std::printf("PATH %s\n", name);
        std::fflush(stdout);
        serve(ctx, mapping, master);
        return 0;
    }
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (argc != 2 || (std::strcmp(argv[1], "tcp") != 0 && !mbap && !once) ||
        bind(listener, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        std::fprintf(stderr, "usage: %s pty | tcp | tcp-once | mbap\n", argv[0]);
        return 2;
    }
    std::printf("PORT %d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    for (;;) {
        pollfd p[2] = {{listener, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        char c;
        if (poll(p, 2, -1) < 0 || (p[1].revents && read(STDIN_FILENO, &c, 1) <= 0))
            return 0;
        const int client = (p[0].revents & POLLIN) ? accept(listener, nullptr, nullptr) : -1;
        if (client >= 0) {
            // A second connection is refused from the moment the first is in.
            if (once)
                close(listener);
            serve(ctx, mapping, client);
            close(client);
            if (once)
                return 0;
        }
    }
}
