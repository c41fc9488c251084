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
// The key values of compressed records are checked apart, by CheckKeyValues.
TKeyIndex BuildKeyIndex(TPageFile& file, const TRealLayout& layout, TRecordStore& store, size_t k);

// Checks every index entry's key value against its record, each record expanded once, in
// physical order. Throws ERealFile status 51 for an owner-marked file whose records do not
// match (encrypted), else status 2.
void CheckKeyValues(const TRealLayout& layout, TRecordStore& store,
                    const std::vector<TKeyIndex>& indexes);

// Raises the failure of an index entry whose key value differs from its record's.
[[noreturn]] void Disagrees(const TRealLayout& layout, size_t k);

}  // namespace recman::real
