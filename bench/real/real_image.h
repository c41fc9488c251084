// Writes a large file in the vendor's 5.x format for the reader's benchmark: fixed-length
// records, a unique INTEGER key and a linked-duplicate INTEGER key, each with its B-tree,
// laid out the way the sample files show.
#pragma once

#include <cstdint>
#include <string>

namespace realbench {

inline constexpr uint32_t kPageSize = 4096;
inline constexpr uint16_t kRecordLength = 60;
inline constexpr uint16_t kGroups = 1000;  // distinct values of the duplicate key

// Record id holds id (u32) at 0, id % kGroups (i16) at 4 and bytes derived from id after.
void WriteRealImage(const std::string& path, uint32_t records);

}  // namespace realbench
