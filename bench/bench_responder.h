#pragma once

#include <QtGlobal>

namespace tallowick::bench {

// Serves RTU frames over TCP on 127.0.0.1, answering each request at once,
// until stdin closes; with `floodBytes`, answers every request with that many
// bytes of floodPattern() instead; with `mbap`, serves Modbus TCP: the same
// answers behind the request's MBAP header, without a CRC. Prints "PORT <n>"
// first, and "ANSWERED <count>" for each byte that arrives on stdin.
int runResponder(qsizetype floodBytes, bool mbap = false);

} // namespace tallowick::bench
