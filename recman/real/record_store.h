// The live records of a vendor file in physical order, and reading one record (its fixed
// part and its variable tail, or its compressed stream expanded) by its 4-byte address.
// Physical order is found in the data pages as it is walked: memory does not grow with the
// number of records.
#pragma once

#include <cstdint>
#include <vector>

#include "recman/real/divisor.h"
#include "recman/real/page_file.h"
#include "recman/real/real_layout.h"

namespace recman::real {

// A variable-page pointer: the logical (6.x, 8.x) or physical (5.x) page and the fragment.
struct TTailPointer {
    uint32_t page = 0;
    uint32_t fragment = 0;
    bool end = true;
};

class TRecordStore {
  public:
    // Walks the data pages once; throws ERealFile status 2 when the page or slot chains are
    // damaged or the count of live slots differs from the record count of the file.
    TRecordStore(TPageFile& file, const TRealLayout& layout);

    uint64_t Count() const { return count_; }
    // Physical order (the order of the Step operations): the first and last live records
    // and the neighbours of a live one, or kNoPointer past either end.
    uint32_t First() const { return Scan(firstPage_, 0, true); }
    uint32_t Last() const;
    uint32_t Next(uint32_t address) const;
    uint32_t Previous(uint32_t address) const;
    // True when address names a slot that holds a live record.
    bool IsLive(uint32_t address) const { return LiveSlot(address) != nullptr; }
    // The slot of the live record at address (valid until the next read) and its number,
    // or null when address names no live record.
    const uint8_t* LiveSlot(uint32_t address, uint64_t* number = nullptr) const;
    // The live record at position i (below Count()) in physical order, and the position of
    // a live record.
    uint32_t Nth(uint64_t i) const;
    uint64_t PositionOf(uint32_t address) const;
    // Every slot of the file has a number below SlotSpace(): for marking records seen.
    uint64_t SlotSpace() const { return uint64_t(endPage_) * perPage_; }
    uint64_t SlotNumber(uint32_t address) const;

    // The slot of a live record (physical length bytes), valid until the next read.
    const uint8_t* Slot(uint32_t address);
    // The bytes of a record kept whole in its slot (fixed length, not compressed), valid
    // until the next read; null for a file that keeps its records otherwise.
    const uint8_t* InPlace(uint32_t address) {
        return layout_.compressed || layout_.variable ? nullptr : Slot(address) + layout_.slotBase;
    }
    // The whole record: fixed part, then the variable tail joined in chain order. Throws
    // ERealFile status 54 when the tail is unreadable (out then holds the fixed part), and
    // status 2 when a compressed record cannot be expanded to the record length.
    void Read(uint32_t address, std::vector<uint8_t>& out);
    // Copies the key value of key number k from the record at address into out.
    void KeyValue(uint32_t address, size_t k, uint8_t* out);

    // The record address in an index entry or a duplicate pointer.
    uint32_t AddressAt(const uint8_t* p) const;

  private:
    // One fragment of a variable page: its data (valid until the next page read) and the
    // pointer to the next.
    struct TFragment {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        TTailPointer next;
    };
    TFragment Fragment(uint32_t page, uint32_t fragment);
    // Byte offset in the file of the slot at address, or throws status 2.
    uint64_t SlotOffset(uint32_t address) const;
    void ReadTail(const uint8_t* pointer, std::vector<uint8_t>& out);
    void ReadCompressed(const uint8_t* slot, std::vector<uint8_t>& out);
    void EnumerateOld();
    void EnumerateNew();

    // Pages are numbered as addresses number them: physical in 5.x, logical in 6.x and 8.x.
    bool IsDataPage(uint32_t page) const;
    // Slots of the page that can hold records (the 5.x current page is partly filled).
    uint32_t SlotLimit(uint32_t page) const;
    // Whether slot s of a data page, whose bytes are given, holds a live record.
    bool Used(const uint8_t* bytes, uint32_t page, uint32_t s) const;
    const uint8_t* DataPage(uint32_t page) const;
    uint32_t AddressOf(uint32_t page, uint32_t s) const;
    // Splits an address into page and slot; false when it names no slot (SlotOf) or no
    // slot of a data page (Split).
    bool SlotOf(uint32_t address, uint32_t& page, uint32_t& s) const;
    bool Split(uint32_t address, uint32_t& page, uint32_t& s) const;
    // The first live record at or after slot s of page going forward, or at or before it
    // going backward (s may then be past the page's last slot).
    uint32_t Scan(uint32_t page, uint32_t s, bool forward) const;
    // Remembers the address of every kMarkEvery-th live record while enumerating.
    void Tally(uint32_t address);

    TPageFile& file_;
    const TRealLayout& layout_;
    // Record addresses of 5.x and 6.x are byte offsets: page size, then slot size, split them.
    TDivisor pageDivisor_, slotDivisor_;
    uint32_t perPage_ = 0;
    uint32_t firstPage_ = 1;
    uint32_t endPage_ = 1;  // one past the last page number
    uint64_t count_ = 0;
    std::vector<uint32_t> marks_;    // address of live records 0, kMarkEvery, 2 kMarkEvery...
    std::vector<bool> freePage_;     // 5.x: pages on the free chain
    std::vector<uint32_t> deleted_;  // 5.x: the deleted chain, sorted
    std::vector<uint8_t> stream_;    // a compressed record as stored, reused
    std::vector<uint8_t> record_;    // an expanded record for its key values, reused
};

// Copies the segments of key from a record into out, key length bytes.
void CopyKey(const TRealKey& key, const uint8_t* record, uint8_t* out);

}  // namespace recman::real
