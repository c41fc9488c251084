#include "bench/real/real_image.h"

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "recman/real/bytes.h"

namespace realbench {

namespace {

using recman::real::PutLe16;
using recman::real::PutLe32;
using recman::real::PutWs32;

constexpr uint16_t kPhysical = kRecordLength + 8;  // one duplicate-pointer pair
constexpr uint32_t kPerPage = (kPageSize - 6) / kPhysical;
constexpr uint32_t kNone = 0xFFFFFFFFu;

uint32_t Address(uint32_t id) {
    return (1 + id / kPerPage) * kPageSize + 6 + (id % kPerPage) * kPhysical;
}

struct TItem {
    uint8_t key[4];
    uint32_t address;
    uint32_t last;  // linked duplicates only
};

// Builds a B-tree over sorted items bottom-up; pages are appended to pages, numbered from
// firstPage. Returns the root page number.
class TTreeWriter {
  public:
    TTreeWriter(std::vector<std::vector<uint8_t>>& pages, uint32_t firstPage, uint16_t keyLength,
                bool linked)
        : pages_(pages),
          first_(firstPage),
          keyLength_(keyLength),
          linked_(linked),
          entry_(uint16_t(keyLength + (linked ? 12 : 8))),
          capacity_((kPageSize - 12) / entry_) {}

    uint32_t Build(const std::vector<TItem>& items) { return Level(items, {}); }
    uint16_t EntrySize() const { return entry_; }
    uint16_t Capacity() const { return uint16_t(capacity_); }

  private:
    uint32_t Level(const std::vector<TItem>& items, const std::vector<uint32_t>& children) {
        const size_t n = items.size();
        const size_t nodes = (n + 1 + capacity_) / (capacity_ + 1);
        if (nodes <= 1) return Node(items, 0, n, children, 0);
        const size_t inNodes = n - (nodes - 1);
        std::vector<TItem> up;
        std::vector<uint32_t> pagesUp;
        size_t at = 0, child = 0;
        for (size_t j = 0; j < nodes; ++j) {
            const size_t count = inNodes / nodes + (j < inNodes % nodes ? 1 : 0);
            pagesUp.push_back(Node(items, at, count, children, child));
            at += count;
            child += count + 1;
            if (j + 1 < nodes) up.push_back(items[at++]);
        }
        return Level(up, pagesUp);
    }

    uint32_t Node(const std::vector<TItem>& items, size_t at, size_t count,
                  const std::vector<uint32_t>& children, size_t child) {
        const uint32_t number = first_ + uint32_t(pages_.size());
        std::vector<uint8_t> page(kPageSize, 0);
        PutWs32(page.data(), number);
        PutLe16(page.data() + 4, 1);
        PutLe16(page.data() + 6, uint16_t(count));
        PutWs32(page.data() + 8, children.empty() ? kNone : children[child + count]);
        for (size_t i = 0; i < count; ++i) {
            uint8_t* e = page.data() + 12 + i * entry_;
            const TItem& item = items[at + i];
            PutWs32(e, children.empty() ? kNone : children[child + i]);
            std::memcpy(e + 4, item.key, keyLength_);
            PutWs32(e + 4 + keyLength_, item.address);
            if (linked_) PutWs32(e + 8 + keyLength_, item.last);
        }
        pages_.push_back(std::move(page));
        return number;
    }

    std::vector<std::vector<uint8_t>>& pages_;
    uint32_t first_;
    uint16_t keyLength_;
    bool linked_;
    uint16_t entry_;
    size_t capacity_;
};

void PutSpec(uint8_t* spec, uint32_t root, uint32_t unique, uint16_t flags, uint16_t keyLength,
             uint16_t entrySize, uint16_t capacity, uint16_t dupOffset, uint16_t offset,
             uint8_t type) {
    PutWs32(spec + 0x00, root);
    PutWs32(spec + 0x04, unique);
    PutLe16(spec + 0x08, flags);
    PutLe16(spec + 0x0A, keyLength);
    PutLe16(spec + 0x0C, entrySize);
    PutLe16(spec + 0x0E, capacity);
    PutLe16(spec + 0x10, uint16_t(capacity / 2));
    PutLe16(spec + 0x12, dupOffset);
    PutLe16(spec + 0x14, offset);
    PutLe16(spec + 0x16, keyLength);
    spec[0x1C] = type;
}

}  // namespace

void WriteRealImage(const std::string& path, uint32_t records) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path);
    const uint32_t dataPages = (records + kPerPage - 1) / kPerPage;
    std::vector<uint8_t> page(kPageSize);
    out.write(reinterpret_cast<const char*>(page.data()), kPageSize);  // FCR, written last

    for (uint32_t p = 0; p < dataPages; ++p) {
        std::fill(page.begin(), page.end(), 0);
        PutWs32(page.data(), 1 + p);
        PutLe16(page.data() + 4, 0x8001);
        for (uint32_t s = 0; s < kPerPage; ++s) {
            const uint32_t id = p * kPerPage + s;
            if (id >= records) break;
            uint8_t* r = page.data() + 6 + s * kPhysical;
            PutLe32(r, id);
            PutLe16(r + 4, uint16_t(id % kGroups));
            for (uint32_t j = 6; j < kRecordLength; ++j) r[j] = uint8_t(id * 7 + j);
            PutWs32(r + kRecordLength, id >= kGroups ? Address(id - kGroups) : kNone);
            PutWs32(r + kRecordLength + 4, id + kGroups < records ? Address(id + kGroups) : kNone);
        }
        out.write(reinterpret_cast<const char*>(page.data()), kPageSize);
    }

    std::vector<std::vector<uint8_t>> indexPages;
    std::vector<TItem> items(records);
    for (uint32_t id = 0; id < records; ++id) {
        PutLe32(items[id].key, id);
        items[id].address = Address(id);
    }
    TTreeWriter unique(indexPages, 1 + dataPages, 4, false);
    const uint32_t root0 = unique.Build(items);
    const uint32_t groups = records < kGroups ? records : kGroups;
    items.resize(groups);
    for (uint32_t g = 0; g < groups; ++g) {
        PutLe16(items[g].key, uint16_t(g));
        items[g].address = Address(g);
        items[g].last = Address(g + (records - 1 - g) / kGroups * kGroups);
    }
    TTreeWriter dup(indexPages, 1 + dataPages, 2, true);
    const uint32_t root1 = dup.Build(items);
    for (const auto& p : indexPages) out.write(reinterpret_cast<const char*>(p.data()), kPageSize);

    const uint32_t pages = 1 + dataPages + uint32_t(indexPages.size());
    std::vector<uint8_t> fcr(kPageSize, 0);
    PutLe16(fcr.data() + 0x04, 1);
    PutLe16(fcr.data() + 0x06, 0x0400);
    PutLe16(fcr.data() + 0x08, kPageSize);
    PutWs32(fcr.data() + 0x0C, kNone);
    PutWs32(fcr.data() + 0x10, kNone);
    PutLe16(fcr.data() + 0x14, 2);
    PutLe16(fcr.data() + 0x16, kRecordLength);
    PutLe16(fcr.data() + 0x18, kPhysical);
    PutWs32(fcr.data() + 0x1A, records);
    PutWs32(fcr.data() + 0x1E, dataPages);
    PutLe16(fcr.data() + 0x24, 1);
    PutWs32(fcr.data() + 0x26, pages);
    const uint32_t used = records - (dataPages - 1) * kPerPage;
    PutLe16(fcr.data() + 0x2A, uint16_t(kPageSize - 6 - used * kPhysical));
    PutSpec(fcr.data() + 0x110, root0, records, 0x0100, 4, unique.EntrySize(), unique.Capacity(), 0,
            0, 1);
    PutSpec(fcr.data() + 0x110 + 30, root1, groups, 0x0101, 2, dup.EntrySize(), dup.Capacity(),
            kRecordLength, 4, 1);
    out.seekp(0);
    out.write(reinterpret_cast<const char*>(fcr.data()), kPageSize);
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace realbench
