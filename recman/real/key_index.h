// The records of one key in the order of the file's own index, built by walking the
// index pages and the duplicate chains once, at open.
#pragma once

#include <cstdint>
#include <vector>

#include "recman/real/page_file.h"
#include "recman/real/real_layout.h"
#include "recman/real/record_store.h"

namespace recman::real {

struct TKeyIndex {
    std::vector<uint32_t> addresses;  // record addresses in key order
    std::vector<uint8_t> values;      // the key value of each, key length bytes apiece
    bool ordered = true;              // the collation agrees with the index order
};

// Walks the index of key k. Throws ERealFile status 2 when the index is damaged (a page
// out of range, a loop, a chain that does not end where the index says, a record twice or
// a live record missing that is not a null key).
TKeyIndex BuildKeyIndex(TPageFile& file, const TRealLayout& layout, TRecordStore& store, size_t k);

}  // namespace recman::real
