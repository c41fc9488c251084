#include "bench/real/real_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <numeric>
#include <stdexcept>

#include "recman/real/bytes.h"
#include "recman/real/key_compare.h"

namespace realbench {

namespace {

using recman::real::PutLe16;
using recman::real::PutWs32;

constexpr uint32_t kNone = 0xFFFFFFFFu;

struct TItem {
    const uint8_t* key;
    uint32_t address;
    uint32_t last;
};

// Builds a B-tree over sorted items bottom-up, appending its pages; returns the root page.
class TTreeWriter {
  public:
    TTreeWriter(std::vector<std::vector<uint8_t>>& pages, uint32_t firstPage, uint32_t pageSize,
                uint16_t keyLength, bool linked)
        : pages_(pages),
          first_(firstPage),
          pageSize_(pageSize),
          keyLength_(keyLength),
          linked_(linked),
          entry_(uint16_t(keyLength + (linked ? 12 : 8))),
          capacity_((pageSize - 12) / entry_) {}

    uint32_t Build(const std::vector<TItem>& items) {
        if (items.empty()) return kNone;
        return Level(items, {});
    }
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
        std::vector<uint8_t> page(pageSize_, 0);
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
    uint32_t pageSize_;
    uint16_t keyLength_;
    bool linked_;
    uint16_t entry_;
    size_t capacity_;
};

}  // namespace

void WriteRealImage(const std::string& path, const TImageSpec& spec,
                    const std::vector<std::vector<uint8_t>>& records) {
    const uint32_t p = spec.pageSize;
    size_t dupKeys = 0;
    for (const TImageKey& k : spec.keys) dupKeys += k.duplicates;
    const uint16_t physical = uint16_t(spec.recordLength + 8 * dupKeys);
    const uint32_t perPage = (p - 6) / physical;
    const uint32_t count = uint32_t(records.size());
    const uint32_t dataPages = count == 0 ? 1 : (count + perPage - 1) / perPage;
    auto address = [&](uint32_t i) { return (1 + i / perPage) * p + 6 + (i % perPage) * physical; };

    // The reader's own description of the keys, to sort by its collation.
    recman::real::TRealLayout layout;
    std::vector<std::vector<uint8_t>> keyBytes(spec.keys.size());
    std::vector<uint16_t> dupOffset(spec.keys.size(), 0);
    size_t nextPair = spec.recordLength;
    for (size_t k = 0; k < spec.keys.size(); ++k) {
        recman::real::TRealKey key;
        for (size_t s = 0; s < spec.keys[k].segments.size(); ++s) {
            const TImageSegment& in = spec.keys[k].segments[s];
            recman::real::TRealSegment seg;
            seg.offset = in.offset;
            seg.length = in.length;
            seg.type = in.type;
            seg.nullValue = in.nullValue;
            seg.flags = uint16_t(in.flags | 0x100 | (spec.keys[k].duplicates ? 1 : 0) |
                                 (s + 1 < spec.keys[k].segments.size() ? 0x10 : 0));
            key.segments.push_back(seg);
            key.length = uint16_t(key.length + in.length);
        }
        key.flags = key.segments.at(0).flags;
        if (spec.keys[k].duplicates) {
            dupOffset[k] = uint16_t(nextPair);
            nextPair += 8;
        }
        layout.keys.push_back(key);
        for (const auto& r : records)
            for (const auto& seg : key.segments)
                keyBytes[k].insert(keyBytes[k].end(), r.begin() + seg.offset,
                                   r.begin() + seg.offset + seg.length);
    }

    // Per key: the records in its order, and the duplicate neighbours of each record.
    std::vector<std::vector<uint8_t>> pages(1 + dataPages, std::vector<uint8_t>(p, 0));
    std::vector<std::vector<uint8_t>> indexPages;
    std::vector<uint32_t> roots(spec.keys.size()), uniques(spec.keys.size());
    std::vector<uint16_t> entrySizes(spec.keys.size()), capacities(spec.keys.size());
    std::vector<std::vector<uint32_t>> prev(spec.keys.size(), std::vector<uint32_t>(count, kNone));
    auto next = prev;
    for (size_t k = 0; k < spec.keys.size(); ++k) {
        const recman::real::TRealKey& key = layout.keys[k];
        auto value = [&](uint32_t i) { return keyBytes[k].data() + size_t(i) * key.length; };
        std::vector<uint32_t> order;
        for (uint32_t i = 0; i < count; ++i)
            if (!recman::real::IsNullKey(key, value(i))) order.push_back(i);
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return recman::real::CompareKeys(layout, key, value(a), value(b)) < 0;
        });
        std::vector<TItem> items;
        for (size_t i = 0; i < order.size();) {
            size_t j = i + 1;
            while (j < order.size() &&
                   recman::real::CompareKeys(layout, key, value(order[i]), value(order[j])) == 0)
                ++j;
            if (j - i > 1 && !spec.keys[k].duplicates)
                throw std::runtime_error("a unique key repeats");
            if (spec.keys[k].duplicates) {
                items.push_back({value(order[i]), address(order[i]), address(order[j - 1])});
                for (size_t d = i; d + 1 < j; ++d) {
                    next[k][order[d]] = address(order[d + 1]);
                    prev[k][order[d + 1]] = address(order[d]);
                }
            } else {
                for (size_t d = i; d < j; ++d)
                    items.push_back({value(order[d]), address(order[d]), 0});
            }
            ++uniques[k];
            i = j;
        }
        TTreeWriter tree(indexPages, 1 + dataPages, p, key.length, spec.keys[k].duplicates);
        roots[k] = tree.Build(items);
        entrySizes[k] = tree.EntrySize();
        capacities[k] = tree.Capacity();
    }

    for (uint32_t page = 1; page <= dataPages; ++page) {
        PutWs32(pages[page].data(), page);
        PutLe16(pages[page].data() + 4, 0x8001);
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* slot = pages[1 + i / perPage].data() + 6 + (i % perPage) * physical;
        std::memcpy(slot, records[i].data(), spec.recordLength);
        for (size_t k = 0; k < spec.keys.size(); ++k) {
            if (!spec.keys[k].duplicates) continue;
            PutWs32(slot + dupOffset[k], prev[k][i]);
            PutWs32(slot + dupOffset[k] + 4, next[k][i]);
        }
    }

    uint8_t* fcr = pages[0].data();
    const uint32_t total = 1 + dataPages + uint32_t(indexPages.size());
    PutLe16(fcr + 0x04, 1);
    PutLe16(fcr + 0x06, 0x0400);
    PutLe16(fcr + 0x08, uint16_t(p));
    PutWs32(fcr + 0x0C, kNone);
    PutWs32(fcr + 0x10, kNone);
    PutLe16(fcr + 0x14, uint16_t(spec.keys.size()));
    PutLe16(fcr + 0x16, spec.recordLength);
    PutLe16(fcr + 0x18, physical);
    PutWs32(fcr + 0x1A, count);
    PutWs32(fcr + 0x1E, dataPages);
    PutLe16(fcr + 0x24, 1);
    PutWs32(fcr + 0x26, total);
    const uint32_t used = count - (dataPages - 1) * perPage;
    PutLe16(fcr + 0x2A, uint16_t(p - 6 - used * physical));
    uint32_t at = 0x110;
    for (size_t k = 0; k < spec.keys.size(); ++k) {
        const auto& segments = layout.keys[k].segments;
        for (size_t s = 0; s < segments.size(); ++s, at += 30) {
            if (at + 30 > p) throw std::runtime_error("too many key segments for the page");
            uint8_t* e = fcr + at;
            if (s == 0) {
                PutWs32(e + 0x00, roots[k]);
                PutWs32(e + 0x04, uniques[k]);
                PutLe16(e + 0x0A, layout.keys[k].length);
                PutLe16(e + 0x0C, entrySizes[k]);
                PutLe16(e + 0x0E, capacities[k]);
                PutLe16(e + 0x10, uint16_t(capacities[k] / 2));
                PutLe16(e + 0x12, dupOffset[k]);
            }
            PutLe16(e + 0x08, segments[s].flags);
            PutLe16(e + 0x14, segments[s].offset);
            PutLe16(e + 0x16, segments[s].length);
            e[0x1C] = segments[s].type;
            e[0x1D] = segments[s].nullValue;
        }
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& page : pages) out.write(reinterpret_cast<const char*>(page.data()), p);
    for (const auto& page : indexPages) out.write(reinterpret_cast<const char*>(page.data()), p);
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace realbench
