// One open position block on a vendor file: key and physical currency and the answers to
// every read operation; every write answers status 46.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "recman/cursor.h"
#include "recman/real/key_index.h"
#include "recman/real/page_file.h"
#include "recman/real/real_layout.h"
#include "recman/real/record_store.h"

namespace recman::real {

// Everything read at open: the file, its layout, its live records and its key orders.
struct TRealFile {
    explicit TRealFile(const std::string& path);
    TPageFile file;
    TRealLayout layout;
    std::unique_ptr<TRecordStore> store;
    std::vector<TKeyOrder> indexes;
};

class TRealCursor : public Cursor {
  public:
    explicit TRealCursor(std::unique_ptr<TRealFile> file) : file_(std::move(file)) {}
    int16_t Execute(Request& request) override;
    int16_t Walk(Request& r, bool step, bool forward, RecordSink& sink) override;

  private:
    int16_t GetByKey(Request& r, uint16_t op, bool keyOnly);
    int16_t Step(Request& r, uint16_t op);
    int16_t Stat(Request& r);
    int16_t GetPosition(Request& r);
    int16_t GetDirect(Request& r);
    int16_t GetChunk(Request& r);
    int16_t GetByPercentage(Request& r);
    int16_t FindPercentage(Request& r);
    int16_t Version(Request& r);

    // The extended walk along index (null: in the file's order); landed tells that a record
    // of the index became current.
    int16_t WalkOn(const TKeyOrder* index, bool forward, RecordSink& sink, bool& landed);
    // The key number of r (into k) when the file has it and r's key buffer holds its value.
    int16_t KeyOf(const Request& r, size_t& k) const;
    // The place next to the logical position on its key (n past either end), and the record
    // next to the physical one in the file's order (from either end without one).
    size_t Beside(size_t n, bool forward) const;
    uint32_t BesideAddress(bool forward) const;
    // Reads the record at address into record_: 0, or 54 with its fixed part alone.
    int16_t ReadRecord(uint32_t address);
    // The record at address for a walk: where the file keeps it whole, or read into record_.
    int16_t WalkRecord(uint32_t address, const uint8_t*& bytes, uint32_t& length);
    // Copies the record at address into the data buffer by the rules of status 22/54.
    int16_t ReturnRecord(Request& r, uint32_t address);
    void ReturnKey(Request& r, size_t k, size_t pos);
    // Makes pos on key k the logical position and, unless keyOnly, the current record.
    int16_t Land(Request& r, size_t k, size_t pos, bool keyOnly);
    // Position on key k that Get Equal (5), Greater (8), Greater or Equal (9), Less (10) or
    // Less or Equal (11) lands on for value, or the index size when none qualifies. A scan
    // when the collation disagreed with the index order.
    size_t Search(size_t k, uint16_t op, const uint8_t* value) const;
    // Position of the record at address on key k, or the index size when it is not there.
    size_t Locate(size_t k, uint32_t address);
    int Compare(size_t k, size_t pos, const uint8_t* value) const;

    std::unique_ptr<TRealFile> file_;
    bool logical_ = false;
    size_t logicalKey_ = 0;
    size_t logicalPos_ = 0;
    bool physical_ = false;
    uint32_t physicalAddress_ = 0;
    uint32_t chunkAddress_ = 0xFFFFFFFFu;
    uint64_t chunkNext_ = 0;
    std::vector<uint8_t> record_;
    // The record chunk reads take their pieces from, assembled once per record (the file
    // does not change under the reader): a big variable part is read in one pass.
    std::vector<uint8_t> chunkRecord_;
    uint32_t chunkRecordAddress_ = 0xFFFFFFFFu;
    std::vector<uint8_t> scratch_;
};

}  // namespace recman::real
