#include "tools/btrutil/unformatted.h"

#include <sys/stat.h>

#include <algorithm>

namespace btrutil {

UnformattedReader::UnformattedReader(std::FILE* in) : in_(in) {
    struct stat st {};
    long at = std::ftell(in);
    if (at >= 0 && ::fstat(::fileno(in), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= at)
        size_ = st.st_size - at;
}

bool UnformattedReader::Next(std::string& record) {
    uint64_t start = offset_;
    auto fail = [&](const std::string& what) -> bool {
        throw UnformattedError("record " + std::to_string(count_ + 1) + " at byte " +
                               std::to_string(start) + ": " + what);
    };
    int c = std::fgetc(in_);
    // Blank lines between records and a line end before the Ctrl-Z are tolerated.
    while (c == '\r' || c == '\n') {
        ++offset_;
        start = offset_;
        c = std::fgetc(in_);
    }
    if (c == EOF || c == kUnformattedEnd) return false;
    uint64_t length = 0;
    int digits = 0;
    while (c >= '0' && c <= '9') {
        length = length * 10 + static_cast<uint64_t>(c - '0');
        if (length > kMaxUnformattedRecord) fail("the record length is too large");
        ++digits;
        ++offset_;
        c = std::fgetc(in_);
    }
    if (digits == 0) fail("expected the record length");
    if (c != ',' && c != ' ') fail("expected a comma after the record length");
    ++offset_;
    if (size_ >= 0 && length > static_cast<uint64_t>(size_) - std::min<uint64_t>(offset_, size_))
        fail("the file ends inside the record");
    // In pieces, so a length the input does not hold never takes its room.
    constexpr size_t kPiece = size_t{1} << 20;
    record.clear();
    while (record.size() < length) {
        size_t piece = static_cast<size_t>(std::min<uint64_t>(kPiece, length - record.size()));
        size_t had = record.size();
        record.resize(had + piece);
        if (std::fread(record.data() + had, 1, piece, in_) != piece)
            fail("the file ends inside the record");
    }
    offset_ += length;
    int cr = std::fgetc(in_);
    int lf = cr == '\r' ? std::fgetc(in_) : cr;
    if (cr != '\r' || lf != '\n') fail("expected CR LF after the record");
    offset_ += 2;
    ++count_;
    return true;
}

void AppendUnformatted(std::string& out, const void* data, uint32_t length) {
    out += std::to_string(length);
    out += ',';
    out.append(static_cast<const char*>(data), length);
    out += "\r\n";
}

}  // namespace btrutil
