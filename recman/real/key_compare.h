// The order of key values as the vendor's engine collates them: per segment by its type,
// through the segment's ACS or case folding, descending segments reversed.
#pragma once

#include <cstdint>
#include <cstring>

#include "recman/real/real_layout.h"

namespace recman::real {

// Negative, zero or positive as a sorts before, with or after b (both full key images).
int CompareKeys(const TRealLayout& layout, const TRealKey& key, const uint8_t* a, const uint8_t* b);

// Keys whose order a plain comparison gives: one ascending segment of bytes compared as they
// are (a string without a collation, unsigned binary of one byte) or of a signed integer of
// 2, 4 or 8 bytes. kGeneral for every other key.
enum class TPlainOrder : uint8_t { kGeneral, kBytes, kSigned16, kSigned32, kSigned64 };
TPlainOrder PlainOrderOf(const TRealKey& key);

// True when the record's key is left out of the index as a null key.
bool IsNullKey(const TRealKey& key, const uint8_t* keyValue);

// Two integers as stored (little-endian, the machine's own where PlainOrderOf offers it).
template <typename Int>
int CompareStoredIntegers(const uint8_t* a, const uint8_t* b) {
    Int x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return (x > y) - (x < y);
}

// CompareKeys, the plain way where order says there is one.
inline int CompareKeys(TPlainOrder order, const TRealLayout& layout, const TRealKey& key,
                       const uint8_t* a, const uint8_t* b) {
    switch (order) {
        case TPlainOrder::kBytes:
            return std::memcmp(a, b, key.length);
        case TPlainOrder::kSigned16:
            return CompareStoredIntegers<int16_t>(a, b);
        case TPlainOrder::kSigned32:
            return CompareStoredIntegers<int32_t>(a, b);
        case TPlainOrder::kSigned64:
            return CompareStoredIntegers<int64_t>(a, b);
        default:
            return CompareKeys(layout, key, a, b);
    }
}

}  // namespace recman::real
