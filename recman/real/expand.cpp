#include "recman/real/expand.h"

#include <cstring>
#include <string>

#include "recman/real/bytes.h"
#include "recman/real/real_error.h"

namespace recman::real {

namespace {
[[noreturn]] void BadStream(const std::string& what) {
    throw ERealFile(kIoError, "Damaged compressed record: " + what);
}
}  // namespace

// The stream: LE16 n and n literal bytes; then, unless the stream ends there, LE16 m and
// one byte repeated m times; and so on.
void ExpandRecord(const uint8_t* stream, size_t n, size_t length, std::vector<uint8_t>& out) {
    out.resize(length);
    uint8_t* to = out.data();
    size_t done = 0;
    size_t at = 0;
    while (at < n) {
        if (n - at < 2) BadStream("a block is cut short");
        const size_t literal = Le16(stream + at);
        at += 2;
        if (literal > n - at) BadStream("a block is cut short");
        if (literal > length - done) BadStream("it expands past the record length");
        std::memcpy(to + done, stream + at, literal);
        done += literal;
        at += literal;
        if (at == n) break;
        if (n - at < 3) BadStream("a run is cut short");
        const size_t run = Le16(stream + at);
        if (run > length - done) BadStream("it expands past the record length");
        std::memset(to + done, stream[at + 2], run);
        done += run;
        at += 3;
    }
    if (done != length)
        BadStream("it expands to " + std::to_string(done) + " bytes instead of " +
                  std::to_string(length));
}

}  // namespace recman::real
