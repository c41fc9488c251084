// The order of key values as the vendor's engine collates them: per segment by its type,
// through the segment's ACS or case folding, descending segments reversed.
#pragma once

#include <cstdint>

#include "recman/real/real_layout.h"

namespace recman::real {

// Negative, zero or positive as a sorts before, with or after b (both full key images).
int CompareKeys(const TRealLayout& layout, const TRealKey& key, const uint8_t* a, const uint8_t* b);

// True when the record's key is left out of the index as a null key.
bool IsNullKey(const TRealKey& key, const uint8_t* keyValue);

}  // namespace recman::real
