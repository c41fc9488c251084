// Read-only access to files written by the vendor's engine (its own on-disk format).
#pragma once

#include <memory>
#include <string>

#include "recman/cursor.h"

namespace recman::real {

// Opens the file at path (UTF-8, as the operating system takes it) if it is in one of the vendor's formats this reader serves.
// mode is the Btrieve open mode, owner the owner name presented. On success returns the
// cursor and sets status 0; otherwise returns null with the Btrieve status (30 for a file
// that is not a Btrieve file, 2 for a damaged one, and so on).
std::unique_ptr<Cursor> OpenRealFile(const std::string& path, int8_t mode,
                                     const std::string& owner, int16_t& status);

}  // namespace recman::real
