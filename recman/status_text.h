// The English meanings of the Btrieve statuses: one table for every program that words them
// (btrutil's messages, the line that follows quorvath's Russian ones).
#pragma once

#include <cstdint>

namespace recman {

// "file not found"; "unknown status" for a code without a meaning.
const char* StatusMeaning(int32_t status);

}  // namespace recman
