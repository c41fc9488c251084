// The failure raised inside the reader: the Btrieve status the call answers and the reason
// (kIoError for a damaged or unreadable file, kNotBtrieveFile for one of no format we know,
// kOperationNotAllowed for a feature we cannot serve, kInvalidOwner for records hidden behind
// an owner name, kVariablePageError for an unreadable variable tail).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/exception.h"
#include "recman/btrieve_codes.h"

namespace recman::real {

class ERealFile : public Exception {
  public:
    ERealFile(int16_t status, std::string message)
        : Exception(std::move(message)), Status(status) {}
    int16_t Status;
};

// A damaged structure: status 2 with the reason.
[[noreturn]] inline void Damaged(const std::string& what) {
    throw ERealFile(kIoError, "Damaged file: " + what);
}

}  // namespace recman::real
