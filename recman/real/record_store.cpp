#include "recman/real/record_store.h"

#include <algorithm>
#include <cstring>

#include "recman/real/bytes.h"
#include "recman/real/expand.h"
#include "recman/real/real_error.h"

namespace recman::real {

namespace {

constexpr uint32_t kVariableHeader = 12;
constexpr uint32_t kVariableHeader8 = 0x10;

// 5.x and 6.x: page bits 16-23, 0-7, 8-15, then the fragment number; 8.x: LE32 page and
// LE16 fragment.
TTailPointer ParsePointer(const TRealLayout& layout, const uint8_t* p) {
    TTailPointer t;
    if (layout.format == TFormat::New8x) {
        t.page = Le32(p);
        t.fragment = Le16(p + 4);
        t.end = t.page == kNoPointer;
    } else {
        t.page = (uint32_t(p[0]) << 16) | p[1] | (uint32_t(p[2]) << 8);
        t.fragment = p[3];
        t.end = p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF;
    }
    return t;
}

// Every this many live records, the address of one is kept, to find a position quickly.
constexpr uint64_t kMarkEvery = 1024;

[[noreturn]] void BadTail(const std::string& what) {
    throw ERealFile(kVariablePageError, "Damaged variable record: " + what);
}

}  // namespace

TRecordStore::TRecordStore(TPageFile& file, const TRealLayout& layout)
    : file_(file),
      layout_(layout),
      pageDivisor_(layout.pageSize),
      slotDivisor_(layout.physicalLength),
      perPage_((layout.pageSize - layout.pageHeader) / layout.physicalLength),
      endPage_(layout.format == TFormat::Old5x ? std::max<uint32_t>(layout.pageCount, 1)
                                               : layout.pageCount + 1) {
    if (layout.format == TFormat::Old5x)
        EnumerateOld();
    else
        EnumerateNew();
    if (count_ != layout.recordCount)
        Damaged("the file says " + std::to_string(layout.recordCount) + " records but holds " +
                std::to_string(count_));
}

uint32_t TRecordStore::AddressAt(const uint8_t* p) const {
    return layout_.format == TFormat::New8x ? Le32(p) : Ws32(p);
}

void TRecordStore::Tally(uint32_t address) {
    if (count_ % kMarkEvery == 0) marks_.push_back(address);
    ++count_;
}

void TRecordStore::EnumerateOld() {
    const uint32_t p = layout_.pageSize;
    const uint32_t pages = layout_.pageCount;
    const uint32_t header = layout_.pageHeader;
    freePage_.assign(pages, false);
    uint32_t next = layout_.freePageChain;
    for (uint32_t steps = 0; next != kNoPointer; ++steps) {
        if (next == 0 || next >= pages) Damaged("the free page chain leaves the file");
        if (freePage_[next] || steps > pages) Damaged("the free page chain loops");
        freePage_[next] = true;
        next = Ws32(file_.Page(next) + 8);
    }
    next = layout_.deletedChain;
    while (next != kNoPointer) {
        const uint32_t page = next / p;
        const uint32_t off = next % p;
        if (!IsDataPage(page) || off < header || (off - header) % layout_.physicalLength ||
            (off - header) / layout_.physicalLength >= perPage_)
            Damaged("the deleted record chain points outside the data pages");
        if (deleted_.size() > uint64_t(pages) * perPage_) Damaged("the deleted record chain loops");
        deleted_.push_back(next);
        next = Ws32(file_.Page(page) + off);
    }
    std::sort(deleted_.begin(), deleted_.end());
    if (std::adjacent_find(deleted_.begin(), deleted_.end()) != deleted_.end())
        Damaged("the deleted record chain loops");
    for (uint32_t page = firstPage_; page < endPage_; ++page) {
        if (!IsDataPage(page)) continue;
        if (Ws32(file_.Page(page)) != page)
            Damaged("data page " + std::to_string(page) + " does not carry its own number");
        const uint32_t limit = SlotLimit(page);
        for (uint32_t s = 0; s < limit; ++s)
            if (Used(nullptr, page, s)) Tally(AddressOf(page, s));
    }
}

// 6.x and 8.x: a slot is in use when its usage count is not zero; a compressed record's
// slot has its state byte after the pointer (1 in use, 0 free) instead.
void TRecordStore::EnumerateNew() {
    const bool v8 = layout_.format == TFormat::New8x;
    for (uint32_t logical = firstPage_; logical < endPage_; ++logical) {
        if (!IsDataPage(logical)) continue;
        const uint8_t* page = DataPage(logical);
        if (!PageHeaderMatches(layout_, page, logical, 'D') || (!v8 && !(Le16(page + 4) & 0x8000)))
            Damaged("data page " + std::to_string(logical) + " does not match its table entry");
        for (uint32_t s = 0; s < perPage_; ++s) {
            if (layout_.compressed &&
                page[layout_.pageHeader + s * layout_.physicalLength + layout_.pointerSize] > 1)
                Damaged("a record slot of data page " + std::to_string(logical) +
                        " is in an unknown state");
            if (Used(page, logical, s)) Tally(AddressOf(logical, s));
        }
    }
}

bool TRecordStore::IsDataPage(uint32_t page) const {
    if (page < firstPage_ || page >= endPage_) return false;
    if (layout_.format != TFormat::Old5x) return layout_.pageType[page] == 'D';
    return !freePage_[page] && (Le16(file_.Page(page) + 4) & 0x8000);
}

uint32_t TRecordStore::SlotLimit(uint32_t page) const {
    if (layout_.format != TFormat::Old5x || page != layout_.currentPage) return perPage_;
    const uint32_t p = layout_.pageSize;
    const uint32_t filled = layout_.currentFree >= p ? 0 : p - layout_.currentFree;
    // Slots that begin before the free space.
    if (filled <= layout_.pageHeader) return 0;
    return std::min(perPage_, (filled - layout_.pageHeader + layout_.physicalLength - 1) /
                                  layout_.physicalLength);
}

const uint8_t* TRecordStore::DataPage(uint32_t page) const {
    return file_.Page(layout_.format == TFormat::Old5x ? page : layout_.physical[page]);
}

bool TRecordStore::Used(const uint8_t* bytes, uint32_t page, uint32_t s) const {
    if (layout_.format == TFormat::Old5x)
        return !std::binary_search(deleted_.begin(), deleted_.end(), AddressOf(page, s));
    const uint8_t* slot = bytes + layout_.pageHeader + s * layout_.physicalLength;
    return layout_.compressed ? slot[layout_.pointerSize] == 1 : Le16(slot) != 0;
}

uint32_t TRecordStore::AddressOf(uint32_t page, uint32_t s) const {
    if (layout_.format == TFormat::New8x) return (page << layout_.slotBits) | s;
    return page * layout_.pageSize + layout_.pageHeader + s * layout_.physicalLength;
}

bool TRecordStore::SlotOf(uint32_t address, uint32_t& page, uint32_t& s) const {
    if (layout_.format == TFormat::New8x) {
        page = address >> layout_.slotBits;
        s = address & ((1u << layout_.slotBits) - 1);
    } else {
        page = pageDivisor_.Quotient(address);
        const uint32_t off = pageDivisor_.Remainder(address);
        if (off < layout_.pageHeader || slotDivisor_.Remainder(off - layout_.pageHeader) != 0)
            return false;
        s = slotDivisor_.Quotient(off - layout_.pageHeader);
    }
    return s < perPage_;
}

bool TRecordStore::Split(uint32_t address, uint32_t& page, uint32_t& s) const {
    return SlotOf(address, page, s) && IsDataPage(page);
}

const uint8_t* TRecordStore::LiveSlot(uint32_t address, uint64_t* number) const {
    uint32_t page = 0, s = 0;
    if (!Split(address, page, s) || s >= SlotLimit(page)) return nullptr;
    const uint8_t* bytes = DataPage(page);
    if (!Used(bytes, page, s)) return nullptr;
    if (number) *number = uint64_t(page) * perPage_ + s;
    return bytes + layout_.pageHeader + s * layout_.physicalLength;
}

uint64_t TRecordStore::SlotNumber(uint32_t address) const {
    uint32_t page = 0, s = 0;
    if (!Split(address, page, s)) Damaged("a record address does not name a record slot");
    return uint64_t(page) * perPage_ + s;
}

uint32_t TRecordStore::Scan(uint32_t page, uint32_t s, bool forward) const {
    if (forward) {
        for (; page < endPage_; ++page, s = 0) {
            if (!IsDataPage(page)) continue;
            const uint8_t* bytes = DataPage(page);
            for (const uint32_t limit = SlotLimit(page); s < limit; ++s)
                if (Used(bytes, page, s)) return AddressOf(page, s);
        }
        return kNoPointer;
    }
    for (; page >= firstPage_ && page < endPage_; --page, s = perPage_) {
        if (!IsDataPage(page)) continue;
        const uint8_t* bytes = DataPage(page);
        for (uint32_t i = std::min(s + 1, SlotLimit(page)); i-- > 0;)
            if (Used(bytes, page, i)) return AddressOf(page, i);
    }
    return kNoPointer;
}

uint32_t TRecordStore::Last() const {
    return endPage_ > firstPage_ ? Scan(endPage_ - 1, perPage_, false) : kNoPointer;
}

uint32_t TRecordStore::Next(uint32_t address) const {
    uint32_t page = 0, s = 0;
    if (!Split(address, page, s)) return kNoPointer;
    return Scan(page, s + 1, true);
}

uint32_t TRecordStore::Previous(uint32_t address) const {
    uint32_t page = 0, s = 0;
    if (!Split(address, page, s)) return kNoPointer;
    if (s > 0) return Scan(page, s - 1, false);
    return page > firstPage_ ? Scan(page - 1, perPage_, false) : kNoPointer;
}

uint32_t TRecordStore::Nth(uint64_t i) const {
    uint32_t address = marks_.at(i / kMarkEvery);
    for (uint64_t step = i % kMarkEvery; step > 0; --step) address = Next(address);
    return address;
}

uint64_t TRecordStore::PositionOf(uint32_t address) const {
    // Addresses ascend in physical order: the mark at or before address, then steps.
    const auto it = std::upper_bound(marks_.begin(), marks_.end(), address);
    if (it == marks_.begin()) return 0;
    uint64_t pos = uint64_t(it - marks_.begin() - 1) * kMarkEvery;
    for (uint32_t at = *(it - 1); at != address && at != kNoPointer; at = Next(at)) ++pos;
    return pos;
}

uint64_t TRecordStore::SlotOffset(uint32_t address) const {
    uint32_t page = 0, s = 0;
    if (!SlotOf(address, page, s)) Damaged("a record address does not name a record slot");
    if (layout_.format != TFormat::Old5x) page = PhysicalPage(layout_, page, 'D');
    return uint64_t(page) * layout_.pageSize + layout_.pageHeader + s * layout_.physicalLength;
}

const uint8_t* TRecordStore::Slot(uint32_t address) {
    const uint64_t at = SlotOffset(address);
    const uint32_t p = layout_.pageSize;
    return file_.Page(uint32_t(at / p)) + at % p;
}

void TRecordStore::KeyValue(uint32_t address, size_t k, uint8_t* out) {
    const uint8_t* record = nullptr;
    if (layout_.compressed) {
        Read(address, record_);
        record = record_.data();
    } else {
        record = Slot(address) + layout_.slotBase;
    }
    CopyKey(layout_.keys[k], record, out);
}

void CopyKey(const TRealKey& key, const uint8_t* record, uint8_t* out) {
    for (const TRealSegment& seg : key.segments) {
        std::memcpy(out, record + seg.offset, seg.length);
        out += seg.length;
    }
}

void TRecordStore::Read(uint32_t address, std::vector<uint8_t>& out) {
    const uint8_t* slot = Slot(address);
    if (layout_.compressed) {
        ReadCompressed(slot, out);
        return;
    }
    out.assign(slot + layout_.slotBase, slot + layout_.slotBase + layout_.recordLength);
    if (!layout_.variable) return;
    uint8_t pointer[6];
    std::memcpy(pointer, slot + layout_.slotBase + layout_.recordLength, layout_.pointerSize);
    ReadTail(pointer, out);
}

// The slot begins with the pointer to the stored stream, which the variable pages hold
// like a variable tail.
void TRecordStore::ReadCompressed(const uint8_t* slot, std::vector<uint8_t>& out) {
    uint8_t pointer[6];
    std::memcpy(pointer, slot, layout_.pointerSize);
    try {
        // Most streams fit one fragment: expanded straight from the page.
        const TTailPointer first = ParsePointer(layout_, pointer);
        if (!first.end) {
            const TFragment f = Fragment(first.page, first.fragment);
            if (f.next.end) {
                ExpandRecord(f.data, f.length, layout_.recordLength, out);
                return;
            }
        }
        stream_.clear();
        ReadTail(pointer, stream_);
    } catch (const ERealFile& e) {
        if (e.Status != kVariablePageError) throw;
        throw ERealFile(kIoError, e.Message());
    }
    ExpandRecord(stream_.data(), stream_.size(), layout_.recordLength, out);
}

TRecordStore::TFragment TRecordStore::Fragment(uint32_t number, uint32_t fragment) {
    const uint32_t p = layout_.pageSize;
    const bool v8 = layout_.format == TFormat::New8x;
    const bool logical = layout_.format != TFormat::Old5x;
    const uint32_t headerSize = v8 ? kVariableHeader8 : kVariableHeader;
    uint32_t phys = number;
    if (logical) {
        if (number == 0 || number > layout_.pageCount || layout_.pageType[number] != 'V')
            BadTail("a fragment names a page that is not a variable page");
        phys = layout_.physical[number];
    } else if (number == 0 || number >= layout_.pageCount) {
        BadTail("a fragment names a page past the end");
    }
    const uint8_t* page = file_.Page(phys);
    if (logical && !PageHeaderMatches(layout_, page, number, 'V'))
        BadTail("variable page " + std::to_string(number) + " does not match its table entry");
    if (!logical && (Le16(page + 4) & 0x8000)) BadTail("a fragment names a data page");
    const uint32_t count = Le16(page + (v8 ? 0x0E : 0x0A));
    if (fragment >= count || uint64_t(headerSize) + 2 * (uint64_t(count) + 1) > p)
        BadTail("a fragment number is out of range");
    const uint32_t tableStart = p - 2 * (count + 1);
    const uint16_t entry = Le16(page + p - 2 * (fragment + 1));
    if (entry == 0xFFFF) BadTail("a fragment slot is unused");
    const uint32_t start = entry & 0x7FFF;
    uint32_t end = 0;
    for (uint32_t f = fragment + 1; f <= count; ++f) {
        const uint16_t e = Le16(page + p - 2 * (f + 1));
        if (e != 0xFFFF) {
            end = e & 0x7FFF;
            break;
        }
    }
    if (start < headerSize || end < start || end > tableStart)
        BadTail("a fragment lies outside its page");
    TFragment f;
    f.data = page + start;
    f.length = end - start;
    if (logical || (entry & 0x8000)) {
        if (f.length < layout_.pointerSize) BadTail("a fragment is too short for its next pointer");
        f.next = ParsePointer(layout_, f.data);
        f.data += layout_.pointerSize;
        f.length -= layout_.pointerSize;
    }
    return f;
}

void TRecordStore::ReadTail(const uint8_t* first, std::vector<uint8_t>& out) {
    TTailPointer pointer = ParsePointer(layout_, first);
    const uint64_t limit = file_.Size();
    // Every fragment of the file at most once: a longer chain loops.
    const uint64_t maxSteps = uint64_t(layout_.pageCount) * (layout_.pageSize / 2) + 1;
    for (uint64_t steps = 0; !pointer.end; ++steps) {
        if (steps > maxSteps) BadTail("the fragment chain loops");
        const TFragment f = Fragment(pointer.page, pointer.fragment);
        if (out.size() + f.length > limit) BadTail("the record is longer than the file");
        out.insert(out.end(), f.data, f.data + f.length);
        pointer = f.next;
    }
}

}  // namespace recman::real
