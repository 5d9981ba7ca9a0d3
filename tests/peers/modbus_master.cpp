// An independent Modbus master for the device's tests, built on libmodbus.
//
//   modbus_master fd N          RTU on descriptor N, inherited from the test
//                               (the master side of its pty pair)
//   modbus_master rtu PATH BAUD PARITY   RTU on a serial port libmodbus opens
//                               and sets (PARITY N, E or O)
//   modbus_master tcp HOST PORT          RTU frames over TCP (libmodbus's RTU
//                               on a socket connected here)
//   modbus_master mbap HOST PORT         Modbus TCP
//
// Then one command a line on standard input, one result line each on
// standard output: "ok" and what was read, "exception CC" for an exception
// reply (as libmodbus reports it, by errno), "error TEXT" for anything else
// libmodbus refused or did not receive.
//
//   unit N                     the unit id of the requests after it (default 1)
//   timeout MS                 the response time-out (default 1000)
//   01 A N | 02 A N            bits: "ok 1 0 1"
//   03 A N | 04 A N            registers in hexadecimal: "ok 3FC0 0000"
//   f32 03|04 A ORDER          two registers decoded by modbus_get_float_ORDER
//                              (abcd, badc, cdab, dcba): "ok 1.5"
//   05 A 0|1 | 06 A HHHH       "ok"
//   0F A B B... | 10 A HHHH... "ok"
//   16 A AND OR                "ok"
//   17 RA RN WA HHHH...        write, then read: "ok 0001 0002"
//   raw HEX                    unit and PDU sent by modbus_send_raw_request
//                              (libmodbus adds the CRC or MBAP header); the
//                              reply read until the line is quiet for 100 ms,
//                              its CRC checked here or its MBAP header's
//                              protocol and length, then its unit and PDU:
//                              "ok 0108000012", "bad FRAME" with every byte
//                              as it came when its framing is wrong, "none"
#include <modbus.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

int hexNumber(const std::string &text)
{
    return int(std::strtol(text.c_str(), nullptr, 16));
}

void failed()
{
    const int code = errno;
    if (code > MODBUS_ENOBASE && code <= EMBXGTAR)
        std::printf("exception %02X\n", code - MODBUS_ENOBASE);
    else
        std::printf("error %s\n", modbus_strerror(code));
}

void printRegisters(const uint16_t *words, int count)
{
    std::printf("ok");
    for (int i = 0; i < count; ++i)
        std::printf(" %04X", words[i]);
    std::printf("\n");
}

std::string hexText(const std::vector<uint8_t> &bytes)
{
    std::string text;
    for (const uint8_t byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

// CRC-16/MODBUS, bit by bit, as the serial line specification gives it.
uint16_t crc16(const uint8_t *bytes, std::size_t size)
{
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

// The unit and PDU of a reply as it came, or nothing when its framing is
// wrong: an RTU frame's CRC (low byte first), an MBAP header's protocol 0 and
// length.
std::optional<std::vector<uint8_t>> unframed(const std::vector<uint8_t> &frame, bool mbap)
{
    if (mbap) {
        if (frame.size() < 8 || frame[2] != 0 || frame[3] != 0 ||
            std::size_t(frame[4] << 8 | frame[5]) != frame.size() - 6)
            return std::nullopt;
        return std::vector<uint8_t>(frame.begin() + 6, frame.end());
    }
    if (frame.size() < 4)
        return std::nullopt;
    const uint16_t crc = crc16(frame.data(), frame.size() - 2);
    if (frame[frame.size() - 2] != (crc & 0xFF) || frame[frame.size() - 1] != crc >> 8)
        return std::nullopt;
    return std::vector<uint8_t>(frame.begin(), frame.end() - 2);
}

// The reply to a raw request as it arrives: libmodbus would cut it by the
// length its function code gives, and an echo of 08 has none it knows.
void rawExchange(modbus_t *ctx, const std::string &hex, int timeoutMs, bool mbap)
{
    std::vector<uint8_t> request;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        request.push_back(uint8_t(hexNumber(hex.substr(i, 2))));
    if (modbus_send_raw_request(ctx, request.data(), int(request.size())) < 0) {
        failed();
        return;
    }
    const int fd = modbus_get_socket(ctx);
    std::vector<uint8_t> reply;
    int wait = timeoutMs;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, wait) <= 0)
            break;
        uint8_t bytes[512];
        const ssize_t n = read(fd, bytes, sizeof bytes);
        if (n <= 0)
            break;
        reply.insert(reply.end(), bytes, bytes + n);
        wait = 100;
    }
    if (reply.empty()) {
        std::printf("none\n");
        return;
    }
    const auto content = unframed(reply, mbap);
    std::printf("%s %s\n", content ? "ok" : "bad", hexText(content ? *content : reply).c_str());
}

struct Master
{
    modbus_t *ctx = nullptr;
    bool mbap = false;
    int timeoutMs = 1000;
};

void run(Master &master, const std::string &line)
{
    modbus_t *ctx = master.ctx;
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::vector<std::string> args;
    for (std::string arg; in >> arg;)
        args.push_back(arg);
    const auto number = [&](std::size_t i) {
        return i < args.size() ? std::atoi(args[i].c_str()) : 0;
    };
    const auto hexWords = [&](std::size_t from) {
        std::vector<uint16_t> words;
        for (std::size_t i = from; i < args.size(); ++i)
            words.push_back(uint16_t(hexNumber(args[i])));
        return words;
    };
    if (command == "unit") {
        modbus_set_slave(ctx, number(0));
        std::printf("ok\n");
    } else if (command == "timeout") {
        master.timeoutMs = number(0);
        modbus_set_response_timeout(ctx, uint32_t(master.timeoutMs / 1000),
                                    uint32_t(master.timeoutMs % 1000 * 1000));
        std::printf("ok\n");
    } else if (command == "01" || command == "02") {
        std::vector<uint8_t> bits(std::size_t(std::max(number(1), 1)));
        const int n = command == "01"
                          ? modbus_read_bits(ctx, number(0), number(1), bits.data())
                          : modbus_read_input_bits(ctx, number(0), number(1), bits.data());
        if (n < 0)
            return failed();
        std::printf("ok");
        for (int i = 0; i < n; ++i)
            std::printf(" %d", bits[std::size_t(i)]);
        std::printf("\n");
    } else if (command == "03" || command == "04") {
        std::vector<uint16_t> words(std::size_t(std::max(number(1), 1)));
        const int n = command == "03"
                          ? modbus_read_registers(ctx, number(0), number(1), words.data())
                          : modbus_read_input_registers(ctx, number(0), number(1), words.data());
        if (n < 0)
            return failed();
        printRegisters(words.data(), n);
    } else if (command == "f32" && args.size() == 3) {
        uint16_t words[2];
        const int n = args[0] == "03" ? modbus_read_registers(ctx, number(1), 2, words)
                                      : modbus_read_input_registers(ctx, number(1), 2, words);
        if (n < 0)
            return failed();
        const std::string &order = args[2];
        const float value = order == "abcd"   ? modbus_get_float_abcd(words)
                            : order == "badc" ? modbus_get_float_badc(words)
                            : order == "cdab" ? modbus_get_float_cdab(words)
                                              : modbus_get_float_dcba(words);
        std::printf("ok %.9g\n", double(value));
    } else if (command == "05" || command == "06") {
        const int n = command == "05"
                          ? modbus_write_bit(ctx, number(0), number(1))
                          : modbus_write_register(ctx, number(0), uint16_t(hexNumber(args.at(1))));
        if (n < 0)
            return failed();
        std::printf("ok\n");
    } else if (command == "0F") {
        std::vector<uint8_t> bits;
        for (std::size_t i = 1; i < args.size(); ++i)
            bits.push_back(uint8_t(number(i)));
        if (modbus_write_bits(ctx, number(0), int(bits.size()), bits.data()) < 0)
            return failed();
        std::printf("ok\n");
    } else if (command == "10") {
        const auto words = hexWords(1);
        if (modbus_write_registers(ctx, number(0), int(words.size()), words.data()) < 0)
            return failed();
        std::printf("ok\n");
    } else if (command == "16") {
        if (modbus_mask_write_register(ctx, number(0), uint16_t(hexNumber(args.at(1))),
                                       uint16_t(hexNumber(args.at(2)))) < 0)
            return failed();
        std::printf("ok\n");
    } else if (command == "17") {
        const auto words = hexWords(3);
        std::vector<uint16_t> read(std::size_t(std::max(number(1), 1)));
        const int n = modbus_write_and_read_registers(
            ctx, number(2), int(words.size()), words.data(), number(0), number(1), read.data());
        if (n < 0)
            return failed();
        printRegisters(read.data(), n);
    } else if (command == "raw" && args.size() == 1) {
        rawExchange(ctx, args[0], master.timeoutMs, master.mbap);
    } else {
        std::printf("error no such command: %s\n", line.c_str());
    }
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    modbus_t *ctx = nullptr;
    if (mode == "fd" && argc == 3) {
        // The descriptor is handed over as the test's slave peer does it: the
        // device name is never opened, libmodbus reads and writes the fd.
        ctx = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
        if (ctx)
            modbus_set_socket(ctx, std::atoi(argv[2]));
    } else if (mode == "rtu" && argc == 5) {
        ctx = modbus_new_rtu(argv[2], std::atoi(argv[3]), argv[4][0], 8, 1);
        if (ctx && modbus_connect(ctx) < 0) {
            std::fprintf(stderr, "modbus_master: %s: %s\n", argv[2], modbus_strerror(errno));
            return 2;
        }
    } else if (mode == "tcp" && argc == 4) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(std::atoi(argv[3])));
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (inet_pton(AF_INET, argv[2], &address.sin_addr) != 1 ||
            connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            std::fprintf(stderr, "modbus_master: %s:%s: %s\n", argv[2], argv[3],
                         std::strerror(errno));
            return 2;
        }
        ctx = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
        if (ctx)
            modbus_set_socket(ctx, fd);
    } else if (mode == "mbap" && argc == 4) {
        ctx = modbus_new_tcp(argv[2], std::atoi(argv[3]));
        if (ctx && modbus_connect(ctx) < 0) {
            std::fprintf(stderr, "modbus_master: %s:%s: %s\n", argv[2], argv[3],
                         modbus_strerror(errno));
            return 2;
        }
    } else {
        std::fprintf(
            stderr,
            "usage: modbus_master fd N | rtu PATH BAUD PARITY | tcp HOST PORT | mbap HOST PORT\n");
        return 2;
    }
    if (!ctx)
        return 2;
    modbus_set_slave(ctx, 1);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Master master{ctx, mode == "mbap"};
    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty())
            run(master, line);
    }
    // A descriptor handed over is the test's to close; a socket of RTU over
    // TCP ends with the process.
    if (mode == "rtu" || mode == "mbap")
        modbus_close(ctx);
    modbus_free(ctx);
    return 0;
}
