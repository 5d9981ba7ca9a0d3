#pragma once

namespace tallowick::bench {

// Serves RTU frames over TCP on 127.0.0.1, answering each request at once,
// until stdin closes. Prints "PORT <n>" first.
int runResponder();

} // namespace tallowick::bench
