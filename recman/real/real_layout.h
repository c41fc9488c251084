// What the File Control Record of a vendor file says: format, lengths, keys, collating
// sequences and, for 6.x and 8.x files, the map from logical to physical pages.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "recman/real/page_file.h"

namespace recman::real {

// Old5x: 5.x and earlier; New6x: 6.x and 7.x; New8x: 8.x and 9.0 (8-byte page headers,
// 6-byte page table entries, record addresses page << slotBits | slot).
enum class TFormat { Old5x, New6x, New8x };

struct TRealSegment {
    uint16_t offset = 0;  // 0-based in the record
    uint16_t length = 0;
    uint16_t flags = 0;  // key flags as stored for this segment
    uint8_t type = 0;    // extended type (when flag 0x100)
    uint8_t nullValue = 0;
    int acs = -1;  // index into TRealLayout::acs, or -1
};

struct TRealKey {
    std::vector<TRealSegment> segments;
    uint16_t flags = 0;      // flags of the first segment
    uint16_t length = 0;     // all segments
    uint16_t entrySize = 0;  // index entry: child, key, address [, last duplicate]
    uint16_t dupOffset = 0;  // slot offset of the previous/next pair (linked duplicates)
    bool linked = false;     // linked duplicates: the index holds first and last only
    uint32_t root = 0;       // page number of the root (physical 5.x, logical 6.x and 8.x)
    uint32_t uniqueCount = 0;
};

struct TRealAcs {
    std::string name;  // 8 bytes as stored
    std::array<uint8_t, 256> table{};
    uint32_t page = 0;  // 6.x logical page it came from
};

struct TRealLayout {
    TFormat format = TFormat::Old5x;
    uint16_t version = 0;      // 0x0300..0x0500, 0x0600, 0x0610, ...
    bool ownerMarked = false;  // the file carries an owner name
    uint32_t pageSize = 0;
    uint16_t recordLength = 0;    // fixed part; the expanded length of compressed records
    uint16_t physicalLength = 0;  // slot size
    uint16_t slotBase = 0;        // record offset in the slot: 2 in 6.x and 8.x (usage count)
    // Compressed records live whole in variable pages; the slot holds their pointer.
    bool compressed = false;
    uint32_t pageHeader = 6;   // bytes before the first slot of a data page (8 in 8.x)
    uint32_t pointerSize = 4;  // variable-page pointer: 4 bytes, 6 in 8.x
    uint8_t slotBits = 0;      // 8.x: low bits of a record address that number the slot
    uint32_t controlSize = 0;  // bytes of one control record copy
    uint32_t recordCount = 0;
    uint16_t fileFlags = 0;
    bool variable = false;
    std::vector<TRealKey> keys;
    std::vector<TRealAcs> acs;
    // 5.x
    uint32_t freePageChain = 0xFFFFFFFFu;
    uint32_t deletedChain = 0xFFFFFFFFu;
    uint32_t currentPage = 0xFFFFFFFFu;
    uint32_t currentFree = 0;
    uint32_t pageCount = 0;  // 5.x physical, 6.x and 8.x logical pages in use
    // 6.x and 8.x: entry L for logical page L (entry 0 unused): physical page and type code
    // (an index page of key k is 0x80 + k)
    std::vector<uint32_t> physical;
    std::vector<uint8_t> pageType;
};

// Reads the FCR, the key specifications, the ACS pages and the PAT; throws ERealFile with
// status 30 for something that is not a vendor file, 2 for a damaged one, and a clear
// message for a layout this reader does not serve.
TRealLayout ReadLayout(TPageFile& file);

// The physical page that holds logical (6.x, 8.x) or physical (5.x) page number.
uint32_t PhysicalPage(const TRealLayout& layout, uint32_t number, uint8_t expectedType);

// True when page (the bytes of logical page number, of kind type) carries that number and
// kind in its own header.
bool PageHeaderMatches(const TRealLayout& layout, const uint8_t* page, uint32_t number,
                       uint8_t type);

}  // namespace recman::real
