// The records of one key in the order of the file's own index. The index is walked and
// checked once at open; afterwards entries are read from its pages a block at a time,
// from a mark kept at the start of every block, so memory does not grow with the file.
#pragma once

#include <cstdint>
#include <vector>

#include "recman/real/key_compare.h"
#include "recman/real/page_file.h"
#include "recman/real/real_layout.h"
#include "recman/real/record_store.h"

namespace recman::real {

class TKeyOrder {
  public:
    // Walks the index of key k. Throws ERealFile status 2 when the index is damaged (a page
    // out of range, a loop, a chain that does not end where the index says, a record twice,
    // a live record missing that is not a null key, a key value that differs from its
    // record's) and status 51 when the records of an owner-marked file disagree with it.
    TKeyOrder(TPageFile& file, const TRealLayout& layout, TRecordStore& store, size_t k);

    // Entries of the index (records whose key is null are not there).
    size_t Size() const { return size_; }
    // The collation agrees with the index order, so values can be searched by halving.
    bool Ordered() const { return ordered_; }
    // The record address and the key value (key length bytes, valid until the next call)
    // of the entry at pos, below Size().
    uint32_t Address(size_t pos) const;
    const uint8_t* Value(size_t pos) const;
    // With Ordered(): the first position whose value is above value (after) or not below it.
    size_t Bound(const uint8_t* value, bool after) const;

  private:
    struct TFrame {
        uint32_t page = 0;
        uint32_t count = 0;
        uint32_t next = 0;       // entry to handle next
        bool childDone = false;  // the child left of entry `next` has been walked
        std::vector<uint8_t> bytes;
    };
    // Where the walk stood before the first entry of a block.
    struct TMark {
        uint32_t frames = 0;  // index of its first frame in markFrames_
        uint32_t depth = 0;
        bool inChain = false;
        uint32_t chainAt = 0;
        uint32_t chainLast = 0;
    };
    struct TMarkFrame {
        uint32_t page = 0;
        uint32_t next = 0;
        bool childDone = false;
    };
    struct TBlock {
        size_t number = SIZE_MAX;
        std::vector<uint32_t> addresses;
        std::vector<uint8_t> values;
    };

    // Loads index page number onto the walk; on the first walk, visited_ catches loops.
    void Push(uint32_t number) const;
    uint32_t Child(const uint8_t* p) const;
    // The next entry of the walk into address and value_; false at the end.
    bool Step(uint32_t& address) const;
    void Mark();
    void Restore(size_t block) const;
    const TBlock& Load(size_t pos) const;
    // Entries of the first walk waiting to be checked against their records: each entry's
    // record address (high half) and number (low half), and the entries' values in turn.
    struct TPending {
        size_t limit = 0;
        std::vector<uint64_t> order;
        std::vector<uint8_t> values;
        void Add(uint32_t address, const uint8_t* value, size_t length);
    };
    void CheckPending(TPending& pending, std::vector<bool>& seen);
    // Checks one entry of the first walk: its record exists, is met once, holds value.
    void Visit(uint32_t address, const uint8_t* value, std::vector<bool>& seen);
    void CheckCoverage(const std::vector<bool>& seen);
    int Compare(const uint8_t* a, const uint8_t* b) const;

    TPageFile& file_;
    const TRealLayout& layout_;
    TRecordStore& store_;
    size_t k_;
    const TRealKey& key_;
    TPlainOrder plain_;
    bool v8_;
    uint32_t header_;
    size_t size_ = 0;
    bool ordered_ = true;
    std::vector<TMark> marks_;
    std::vector<TMarkFrame> markFrames_;
    std::vector<uint8_t> firstValues_;  // the value of each block's first entry
    // The walk in progress and the blocks read last, kept between calls that do not change
    // what the cursor sees.
    mutable std::vector<TFrame> stack_;
    mutable bool inChain_ = false;
    mutable uint32_t chainAt_ = 0;
    mutable uint32_t chainLast_ = 0;
    mutable std::vector<uint8_t> value_;
    std::vector<bool>* visited_ = nullptr;  // pages walked, during the first walk only
    mutable TBlock blocks_[2];
    mutable size_t older_ = 0;  // the block to replace next
    std::vector<uint8_t> scratch_;
};

// Raises the failure of an index entry whose key value differs from its record's.
[[noreturn]] void Disagrees(const TRealLayout& layout, size_t k);

}  // namespace recman::real
