// The failure raised inside the reader: the Btrieve status the call answers and the reason.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/exception.h"

namespace recman::real {

inline constexpr int16_t kStatusIoError = 2;        // damaged or unreadable file
inline constexpr int16_t kStatusNotBtrieve = 30;    // not a file of a format we know
inline constexpr int16_t kStatusNotAllowed = 41;    // a feature of the file we cannot serve
inline constexpr int16_t kStatusAccessDenied = 46;  // write to a read-only file
inline constexpr int16_t kStatusOwner = 51;         // records hidden behind an owner name
inline constexpr int16_t kStatusVariablePage = 54;  // variable tail unreadable
inline constexpr int16_t kStatusNoMemory = 101;     // no operating-system memory

class ERealFile : public Exception {
  public:
    ERealFile(int16_t status, std::string message)
        : Exception(std::move(message)), Status(status) {}
    int16_t Status;
};

// A damaged structure: status 2 with the reason.
[[noreturn]] inline void Damaged(const std::string& what) {
    throw ERealFile(kStatusIoError, "Damaged file: " + what);
}

}  // namespace recman::real
