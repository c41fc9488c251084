#include "recman/real/record_store.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "recman/real/bytes.h"
#include "recman/real/real_error.h"

namespace recman::real {

namespace {

constexpr uint32_t kDataHeader = 6;
constexpr uint32_t kVariableHeader = 12;

// Variable pointer: page bits 16-23, 0-7, 8-15, then the fragment number.
uint32_t TailPage(const uint8_t* p) {
    return (uint32_t(p[0]) << 16) | p[1] | (uint32_t(p[2]) << 8);
}

bool IsEndOfTail(const uint8_t* p) {
    return p[0] == 0xFF && p[1] == 0xFF && p[2] == 0xFF;
}

[[noreturn]] void BadTail(const std::string& what) {
    throw ERealFile(kStatusVariablePage, "Damaged variable record: " + what);
}

}  // namespace

TRecordStore::TRecordStore(TPageFile& file, const TRealLayout& layout)
    : file_(file), layout_(layout) {
    if (layout.format == TFormat::Old5x)
        EnumerateOld();
    else
        EnumerateNew();
    if (live_.size() != layout.recordCount)
        Damaged("the file says " + std::to_string(layout.recordCount) + " records but holds " +
                std::to_string(live_.size()));
}

void TRecordStore::EnumerateOld() {
    const uint32_t p = layout_.pageSize;
    const uint32_t pages = layout_.pageCount;
    std::vector<bool> freePage(pages, false);
    uint32_t next = layout_.freePageChain;
    for (uint32_t steps = 0; next != kNoPointer; ++steps) {
        if (next == 0 || next >= pages) Damaged("the free page chain leaves the file");
        if (freePage[next] || steps > pages) Damaged("the free page chain loops");
        freePage[next] = true;
        next = Ws32(file_.Page(next) + 8);
    }
    auto isData = [&](uint32_t page) {
        return page > 0 && page < pages && !freePage[page] && (Le16(file_.Page(page) + 4) & 0x8000);
    };
    const uint32_t perPage = (p - kDataHeader) / layout_.physicalLength;
    std::vector<uint32_t> deleted;
    next = layout_.deletedChain;
    while (next != kNoPointer) {
        const uint32_t page = next / p;
        const uint32_t off = next % p;
        if (!isData(page) || off < kDataHeader || (off - kDataHeader) % layout_.physicalLength ||
            (off - kDataHeader) / layout_.physicalLength >= perPage)
            Damaged("the deleted record chain points outside the data pages");
        if (deleted.size() > uint64_t(pages) * perPage) Damaged("the deleted record chain loops");
        deleted.push_back(next);
        next = Ws32(file_.Page(page) + off);
    }
    std::sort(deleted.begin(), deleted.end());
    if (std::adjacent_find(deleted.begin(), deleted.end()) != deleted.end())
        Damaged("the deleted record chain loops");
    for (uint32_t page = 1; page < pages; ++page) {
        if (!isData(page)) continue;
        if (Ws32(file_.Page(page)) != page)
            Damaged("data page " + std::to_string(page) + " does not carry its own number");
        uint32_t limit = p;
        if (page == layout_.currentPage)
            limit = layout_.currentFree >= p ? 0 : p - layout_.currentFree;
        for (uint32_t s = 0; s < perPage; ++s) {
            const uint32_t off = kDataHeader + s * layout_.physicalLength;
            if (off >= limit) break;
            const uint32_t address = page * p + off;
            if (!std::binary_search(deleted.begin(), deleted.end(), address))
                live_.push_back(address);
        }
    }
}

void TRecordStore::EnumerateNew() {
    const uint32_t p = layout_.pageSize;
    const uint32_t perPage = (p - kDataHeader) / layout_.physicalLength;
    for (uint32_t logical = 1; logical <= layout_.pageCount; ++logical) {
        if (layout_.pageType[logical] != 'D') continue;
        const uint8_t* page = file_.Page(layout_.physical[logical]);
        if (page[1] != 'D' || PageRefNumber(page) != logical || !(Le16(page + 4) & 0x8000))
            Damaged("data page " + std::to_string(logical) + " does not match its table entry");
        for (uint32_t s = 0; s < perPage; ++s) {
            const uint32_t off = kDataHeader + s * layout_.physicalLength;
            if (Le16(page + off) != 0) live_.push_back(logical * p + off);
        }
    }
}

size_t TRecordStore::Find(uint32_t address) const {
    auto it = std::lower_bound(live_.begin(), live_.end(), address);
    if (it == live_.end() || *it != address) return live_.size();
    return size_t(it - live_.begin());
}

uint64_t TRecordStore::SlotOffset(uint32_t address) const {
    const uint32_t p = layout_.pageSize;
    uint32_t page = address / p;
    const uint32_t off = address % p;
    if (off < kDataHeader || (off - kDataHeader) % layout_.physicalLength ||
        off + layout_.physicalLength > p)
        Damaged("a record address does not name a record slot");
    if (layout_.format == TFormat::New6x) page = PhysicalPage(layout_, page, 'D');
    return uint64_t(page) * p + off;
}

const uint8_t* TRecordStore::Slot(uint32_t address) {
    const uint64_t at = SlotOffset(address);
    const uint32_t p = layout_.pageSize;
    return file_.Page(uint32_t(at / p)) + at % p;
}

void TRecordStore::KeyValue(uint32_t address, size_t k, uint8_t* out) {
    const uint8_t* record = Slot(address) + layout_.slotBase;
    for (const TRealSegment& seg : layout_.keys[k].segments) {
        std::memcpy(out, record + seg.offset, seg.length);
        out += seg.length;
    }
}

void TRecordStore::Read(uint32_t address, std::vector<uint8_t>& out) {
    const uint8_t* slot = Slot(address);
    out.assign(slot + layout_.slotBase, slot + layout_.slotBase + layout_.recordLength);
    if (!layout_.variable) return;
    uint8_t pointer[4];
    std::memcpy(pointer, slot + layout_.slotBase + layout_.recordLength, 4);
    ReadTail(pointer, out);
}

void TRecordStore::ReadTail(const uint8_t* first, std::vector<uint8_t>& out) {
    const uint32_t p = layout_.pageSize;
    const bool v6 = layout_.format == TFormat::New6x;
    uint8_t pointer[4];
    std::memcpy(pointer, first, 4);
    std::unordered_set<uint32_t> seen;
    const uint64_t limit = file_.Size();
    while (!IsEndOfTail(pointer)) {
        const uint32_t number = TailPage(pointer);
        const uint8_t fragment = pointer[3];
        if (!seen.insert((number << 8) | fragment).second) BadTail("the fragment chain loops");
        uint32_t phys = number;
        if (v6) {
            if (number == 0 || number > layout_.pageCount || layout_.pageType[number] != 'V')
                BadTail("a fragment names a page that is not a variable page");
            phys = layout_.physical[number];
        } else if (number == 0 || number >= layout_.pageCount) {
            BadTail("a fragment names a page past the end");
        }
        const uint8_t* page = file_.Page(phys);
        if (v6 && (page[1] != 'V' || PageRefNumber(page) != number))
            BadTail("variable page " + std::to_string(number) + " does not match its table entry");
        if (!v6 && (Le16(page + 4) & 0x8000)) BadTail("a fragment names a data page");
        const uint32_t count = Le16(page + 0x0A);
        const uint32_t tableStart = p - 2 * (count + 1);
        if (fragment >= count || uint64_t(kVariableHeader) + 2 * (count + 1) > p)
            BadTail("a fragment number is out of range");
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
        if (start < kVariableHeader || end < start || end > tableStart)
            BadTail("a fragment lies outside its page");
        const uint8_t* data = page + start;
        uint32_t length = end - start;
        const bool chained = v6 || (entry & 0x8000);
        if (chained) {
            if (length < 4) BadTail("a fragment is too short for its next pointer");
            std::memcpy(pointer, data, 4);
            data += 4;
            length -= 4;
        } else {
            std::memset(pointer, 0xFF, 4);
        }
        if (out.size() + length > limit) BadTail("the record is longer than the file");
        out.insert(out.end(), data, data + length);
    }
}

}  // namespace recman::real
