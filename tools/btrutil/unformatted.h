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

class UnformattedReader {
  public:
    explicit UnformattedReader(std::FILE* in) : in_(in) {}
    // Reads the next record; false at the Ctrl-Z or at the end of the file. A malformed
    // record raises UnformattedError naming the record and its byte offset.
    bool Next(std::string& record);

  private:
    std::FILE* in_;
    uint64_t offset_ = 0;
    uint64_t count_ = 0;
};

// Appends one record in the unformatted form.
void AppendUnformatted(std::string& out, const void* data, uint32_t length);
inline constexpr char kUnformattedEnd = 0x1A;

}  // namespace btrutil
