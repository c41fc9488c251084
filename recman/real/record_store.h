// The live records of a vendor file in physical order, and reading one record (its fixed
// part and its variable tail, or its compressed stream expanded) by its 4-byte address.
#pragma once

#include <cstdint>
#include <vector>

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
    // Enumerates the live slots; throws ERealFile status 2 when the page or slot chains are
    // damaged or the count of live slots differs from the record count of the file.
    TRecordStore(TPageFile& file, const TRealLayout& layout);

    // Addresses of the live records, ascending (the order of the Step operations).
    const std::vector<uint32_t>& Live() const { return live_; }
    // Position of address in Live(), or Live().size() when it is not a live record.
    size_t Find(uint32_t address) const;

    // The slot of a live record (physical length bytes), valid until the next read.
    const uint8_t* Slot(uint32_t address);
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

    TPageFile& file_;
    const TRealLayout& layout_;
    std::vector<uint32_t> live_;
    mutable size_t lastFound_ = 0;  // where Find found the last address it was asked
    std::vector<uint8_t> stream_;   // a compressed record as stored, reused
    std::vector<uint8_t> record_;   // an expanded record for its key values, reused
};

}  // namespace recman::real
