// The layout of a Btrieve file as Create describes it and Stat reports it: record length, page
// size, file flags, keys and their segments, alternate collating sequences.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "recman/btrieve_codes.h"

namespace recman {

inline constexpr int kMaxSegments = 119;
inline constexpr int kSpecSize = 16;
inline constexpr int kAcsSize = 265;

struct KeySegment {
    uint16_t position = 1;  // 1-based byte position in the record
    uint16_t length = 0;
    uint16_t flags = 0;
    uint8_t type = kString;  // effective type (the binary flag already resolved)
    uint8_t nullValue = 0;
    uint8_t acsNumber = 0;
    uint8_t keyNumber = 0;   // as given with kFileKeyNumbersGiven
    uint8_t storedType = 0;  // byte 10 as created
};

struct KeyDef {
    std::vector<KeySegment> segments;
    uint16_t Flags() const { return segments.front().flags; }
    bool Duplicates() const { return Flags() & kKeyDuplicates; }
    bool Modifiable() const { return Flags() & kKeyModifiable; }
    bool Autoincrement() const { return segments.front().type == kAutoincrement; }
    int Length() const;
};

struct FileDef {
    uint16_t recordLength = 0;
    uint16_t pageSize = 4096;
    uint16_t fileFlags = 0;
    std::vector<KeyDef> keys;
    std::vector<std::array<uint8_t, kAcsSize>> acs;
    bool Variable() const { return fileFlags & kFileVariable; }
    int SegmentCount() const;
};

// Reads a Create data buffer (file specification, key specifications, ACS blocks) and checks
// it; answers 0 or the status Create reports (22, 24, 26, 27, 28, 29, 45, 48, 49).
int16_t ParseFileSpec(const uint8_t* data, uint32_t length, FileDef& def);

// The file and key layout in the form Create takes: ParseFileSpec(SerializeFileSpec(def)) gives def
// back.
std::string SerializeFileSpec(const FileDef& def);

// Length of the key image of a key (the sum of its segment lengths).
inline int KeyDef::Length() const {
    int n = 0;
    for (const auto& s : segments) n += s.length;
    return n;
}

inline int FileDef::SegmentCount() const {
    int n = 0;
    for (const auto& k : keys) n += static_cast<int>(k.segments.size());
    return n;
}

}  // namespace recman
