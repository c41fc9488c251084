// The unformatted file of -save and -load: per record its length in decimal digits, a comma,
// the record bytes and CR LF; one Ctrl-Z after the last record.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace btrutil {

class UnformattedError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The longest record the unformatted file may declare: what -save reads back of a record.
inline constexpr uint64_t kMaxUnformattedRecord = uint64_t{1} << 30;

class UnformattedReader {
  public:
    // in: read from its current position, which is taken as byte 0.
    explicit UnformattedReader(std::FILE* in);
    // Reads the next record; false at the Ctrl-Z or at the end of the file. A malformed
    // record raises UnformattedError naming the record and its byte offset. A declared length
    // past kMaxUnformattedRecord or past the end of a regular file is refused before any room
    // is taken for it; from a pipe the record grows only as its bytes arrive.
    bool Next(std::string& record);

  private:
    std::FILE* in_;
    uint64_t offset_ = 0;
    uint64_t count_ = 0;
    int64_t size_ = -1;  // bytes from the start position to the end; -1: not a regular file
};

// Appends one record in the unformatted form.
void AppendUnformatted(std::string& out, const void* data, uint32_t length);
inline constexpr char kUnformattedEnd = 0x1A;

}  // namespace btrutil
