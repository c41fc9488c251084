// Read-only access to files written by the vendor's engine (its own on-disk format).
#pragma once

#include <memory>
#include <string>

#include "recman/cursor.h"

namespace recman::real {

// Opens the file at path (UTF-8, as the operating system takes it) if it is in one of the
// vendor's formats this reader serves (5.x and earlier, 6.x, and 7.x files laid out as
// 6.x). mode is the Btrieve open mode, owner the owner name presented. On success returns
// the cursor and sets status 0; otherwise returns null with the Btrieve status (30 for a
// file that is not a Btrieve file or of a later format, 2 for a damaged one, 41 for a
// feature this reader does not serve, and so on).
std::unique_ptr<Cursor> OpenRealFile(const std::string& path, int8_t mode, const std::string& owner,
                                     int16_t& status);

// Why the last OpenRealFile on this thread refused its file, in plain words ("Not
// supported: compressed records"); empty after a successful open.
const std::string& LastOpenError();
// Forgets the last refusal: the record manager calls it at every open, so the reason always
// speaks of the latest open on this thread.
void ClearLastOpenError();

}  // namespace recman::real
