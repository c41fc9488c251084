// Writes files in the vendor's 5.x, 6.0 or 8.0 format, laid out the way the sample files show:
// fixed-length records in data pages, a B-tree per key, linked duplicates chained in insertion
// order and null keys left out of their index. Used by the reader's benchmark and tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace realbench {

struct TImageSegment {
    uint16_t offset = 0;  // 0-based in the record
    uint16_t length = 0;
    uint8_t type = 0;    // extended type
    uint16_t flags = 0;  // besides duplicates/segmented: modifiable 0x2, null 0x8/0x200, ...
    uint8_t nullValue = 0;
};

struct TImageKey {
    std::vector<TImageSegment> segments;
    bool duplicates = false;
};

struct TImageSpec {
    uint16_t recordLength = 0;
    uint16_t pageSize = 4096;
    std::vector<TImageKey> keys;
    // 6.0 layout: two FCR copies (the older one first), page allocation tables in pairs
    // (the current copy second), logical pages, and a stale shadow copy of every seventh
    // data page left at a physical page no table names.
    bool newFormat = false;
    // 8.0 layout (with newFormat): control records and page tables of max(2 pages, 2 KiB),
    // 8-byte page headers, record addresses page << slot bits | slot, and page tables in
    // groups at fixed places.
    bool format8 = false;
    // Records stored compressed in variable pages (runs of a repeated byte, then literals).
    bool compressed = false;
    // An alternate collating sequence (256 bytes, empty for none) on page 1; segments
    // with flag 0x20 use it.
    std::string acsName;
    std::vector<uint8_t> acsTable;
};

// Writes records (each recordLength bytes, in insertion order) to path; throws
// std::runtime_error when a unique key repeats or the file cannot be written.
void WriteRealImage(const std::string& path, const TImageSpec& spec,
                    const std::vector<std::vector<uint8_t>>& records);

}  // namespace realbench
