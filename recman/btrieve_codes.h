// The codes of the Btrieve interface that both kinds of file the record manager serves read:
// file flags, key flags, extended key types, and the subfunctions and biases of chunk
// descriptors.
#pragma once

#include <cstdint>

namespace recman {

// File flags (file specification offset 10).
inline constexpr uint16_t kFileVariable = 0x0001;
inline constexpr uint16_t kFileTruncate = 0x0002;
inline constexpr uint16_t kFileCompress = 0x0008;
inline constexpr uint16_t kFileKeyOnly = 0x0010;
inline constexpr uint16_t kFileKeyNumbersGiven = 0x0400;
inline constexpr uint16_t kFileVats = 0x0800;

// Key flags (key specification offset 4).
inline constexpr uint16_t kKeyDuplicates = 0x0001;
inline constexpr uint16_t kKeyModifiable = 0x0002;
inline constexpr uint16_t kKeyBinary = 0x0004;
inline constexpr uint16_t kKeyNullAll = 0x0008;
inline constexpr uint16_t kKeySegmented = 0x0010;
inline constexpr uint16_t kKeyAcs = 0x0020;
inline constexpr uint16_t kKeyDescending = 0x0040;
inline constexpr uint16_t kKeyRepeatDup = 0x0080;
inline constexpr uint16_t kKeyExtended = 0x0100;
inline constexpr uint16_t kKeyNullAny = 0x0200;
inline constexpr uint16_t kKeyCaseInsensitive = 0x0400;

// Extended key types (key specification offset 10).
enum KeyType : uint8_t {
    kString = 0,
    kInteger = 1,
    kFloat = 2,
    kDate = 3,
    kTime = 4,
    kDecimal = 5,
    kMoney = 6,
    kLogical = 7,
    kNumeric = 8,
    kBfloat = 9,
    kLstring = 10,
    kZstring = 11,
    kUnsignedBinary = 14,
    kAutoincrement = 15,
    kNumericSts = 17,
    kNumericSa = 18,
    kCurrency = 19,
    kTimestamp = 20,
    kNullIndicator = 255,
};

// Chunk descriptor subfunctions (Get Direct/Chunk, Update Chunk) and their biases.
inline constexpr uint32_t kChunkRandomDirect = 0x80000000;
inline constexpr uint32_t kChunkRandomIndirect = 0x80000001;
inline constexpr uint32_t kChunkRectDirect = 0x80000002;
inline constexpr uint32_t kChunkRectIndirect = 0x80000003;
inline constexpr uint32_t kChunkTruncate = 0x80000004;
inline constexpr uint32_t kChunkNextInRecord = 0x40000000;
inline constexpr uint32_t kChunkAppend = 0x20000000;
inline constexpr uint32_t kChunkPartsOfKey = 0x00800000;
inline constexpr uint32_t kChunkTruncateAfter = 0x00400000;

}  // namespace recman
