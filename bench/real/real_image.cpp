#include "bench/real/real_image.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "recman/real/bytes.h"
#include "recman/real/key_compare.h"

namespace realbench {

namespace {

using recman::real::PutLe16;
using recman::real::PutLe32;
using recman::real::PutWs32;

constexpr uint32_t kNone = 0xFFFFFFFFu;

// A page reference in the 6.x form: [bits 16-23][type][bits 0-7][bits 8-15].
void PutPageRef(uint8_t* p, uint32_t page, uint8_t type) {
    p[0] = uint8_t(page >> 16);
    p[1] = type;
    p[2] = uint8_t(page);
    p[3] = uint8_t(page >> 8);
}

using TRefWriter = std::function<void(uint8_t*, uint32_t)>;

struct TItem {
    const uint8_t* key;
    uint32_t address;
    uint32_t last;
};

// Builds a B-tree over sorted items bottom-up, appending its pages; returns the root page.
class TTreeWriter {
  public:
    TTreeWriter(std::vector<std::vector<uint8_t>>& pages, uint32_t firstPage, uint32_t pageSize,
                uint16_t keyLength, bool linked, TRefWriter ref)
        : pages_(pages),
          first_(firstPage),
          pageSize_(pageSize),
          keyLength_(keyLength),
          linked_(linked),
          entry_(uint16_t(keyLength + (linked ? 12 : 8))),
          capacity_((pageSize - 12) / entry_),
          ref_(std::move(ref)) {}

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
        ref_(page.data(), number);
        PutLe16(page.data() + 4, 1);
        PutLe16(page.data() + 6, uint16_t(count));
        ref_(page.data() + 8, children.empty() ? kNone : children[child + count]);
        for (size_t i = 0; i < count; ++i) {
            uint8_t* e = page.data() + 12 + i * entry_;
            const TItem& item = items[at + i];
            ref_(e, children.empty() ? kNone : children[child + i]);
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
    TRefWriter ref_;
};

}  // namespace

void WriteRealImage(const std::string& path, const TImageSpec& spec,
                    const std::vector<std::vector<uint8_t>>& records) {
    const uint32_t p = spec.pageSize;
    const bool v6 = spec.newFormat;
    const uint16_t base = v6 ? 2 : 0;  // the record usage count before each 6.x record
    size_t dupKeys = 0;
    for (const TImageKey& k : spec.keys) dupKeys += k.duplicates;
    const uint16_t physical = uint16_t(base + spec.recordLength + 8 * dupKeys);
    const uint32_t perPage = (p - 6) / physical;
    const uint32_t count = uint32_t(records.size());
    const uint32_t dataPages = count == 0 ? 1 : (count + perPage - 1) / perPage;
    // Page 1 (logical in 6.x) holds the ACS when there is one; the data pages follow it, and
    // the index pages follow them.
    const bool hasAcs = !spec.acsTable.empty();
    const uint32_t firstData = hasAcs ? 2 : 1;
    const uint32_t lastData = firstData + dataPages - 1;
    auto address = [&](uint32_t i) {
        return (firstData + i / perPage) * p + 6 + (i % perPage) * physical;
    };
    auto refWriter = [v6](uint8_t type) -> TRefWriter {
        if (!v6) return [](uint8_t* at, uint32_t page) { PutWs32(at, page); };
        return [type](uint8_t* at, uint32_t page) {
            if (page == kNone)
                PutLe32(at, kNone);
            else
                PutPageRef(at, page, type);
        };
    };

    // The reader's own description of the keys, to sort by its collation.
    recman::real::TRealLayout layout;
    if (hasAcs) {
        layout.acs.emplace_back();
        std::copy_n(spec.acsTable.begin(), 256, layout.acs[0].table.begin());
    }
    std::vector<std::vector<uint8_t>> keyBytes(spec.keys.size());
    std::vector<uint16_t> dupOffset(spec.keys.size(), 0);
    size_t nextPair = base + spec.recordLength;
    for (size_t k = 0; k < spec.keys.size(); ++k) {
        recman::real::TRealKey key;
        for (size_t s = 0; s < spec.keys[k].segments.size(); ++s) {
            const TImageSegment& in = spec.keys[k].segments[s];
            recman::real::TRealSegment seg;
            seg.offset = in.offset;
            seg.length = in.length;
            seg.type = in.type;
            seg.nullValue = in.nullValue;
            seg.acs = (in.flags & 0x20) && hasAcs ? 0 : -1;
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
    std::vector<std::vector<uint8_t>> pages(lastData + 1, std::vector<uint8_t>(p, 0));
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
        TTreeWriter tree(indexPages, lastData + 1, p, key.length, spec.keys[k].duplicates,
                         refWriter(uint8_t(0x80 + k)));
        roots[k] = tree.Build(items);
        entrySizes[k] = tree.EntrySize();
        capacities[k] = tree.Capacity();
    }

    const TRefWriter dataRef = refWriter('D');
    if (hasAcs) {
        uint8_t* acs = pages[1].data();
        if (v6)
            PutPageRef(acs, 1, 'A');
        else
            PutWs32(acs, 1);
        acs[6] = 0xAC;
        std::memset(acs + 7, ' ', 8);
        std::memcpy(acs + 7, spec.acsName.data(), std::min<size_t>(spec.acsName.size(), 8));
        std::memcpy(acs + 15, spec.acsTable.data(), 256);
    }
    for (uint32_t page = firstData; page <= lastData; ++page) {
        dataRef(pages[page].data(), page);
        PutLe16(pages[page].data() + 4, 0x8001);
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* slot = pages[firstData + i / perPage].data() + 6 + (i % perPage) * physical;
        if (v6) PutLe16(slot, 1);
        std::memcpy(slot + base, records[i].data(), spec.recordLength);
        for (size_t k = 0; k < spec.keys.size(); ++k) {
            if (!spec.keys[k].duplicates) continue;
            PutWs32(slot + dupOffset[k], prev[k][i]);
            PutWs32(slot + dupOffset[k] + 4, next[k][i]);
        }
    }
    for (auto& page : indexPages) pages.push_back(std::move(page));
    const uint32_t logicalPages = uint32_t(pages.size()) - 1;

    std::vector<uint8_t> fcr(p, 0);
    PutLe16(fcr.data() + 0x08, uint16_t(p));
    PutLe16(fcr.data() + 0x14, uint16_t(spec.keys.size()));
    PutLe16(fcr.data() + 0x16, spec.recordLength);
    PutLe16(fcr.data() + 0x18, physical);
    PutWs32(fcr.data() + 0x1A, count);
    PutWs32(fcr.data() + 0x26, v6 ? logicalPages : logicalPages + 1);  // 5.x counts page 0
    const uint32_t kat = p >= 4096 ? 0x0F10 : p - 40;
    if (v6) {
        fcr[0] = 'F';
        fcr[1] = 'C';
        PutLe32(fcr.data() + 0x04, 2);
        PutLe16(fcr.data() + 0x22, 0xFFFF);
        PutLe16(fcr.data() + 0x4A, 0x0600);
        fcr[0x76] = 0x14;
        PutLe16(fcr.data() + 0x78, uint16_t(kat));
    } else {
        PutLe16(fcr.data() + 0x04, 1);
        PutLe16(fcr.data() + 0x06, 0x0400);
        PutWs32(fcr.data() + 0x0C, kNone);
        PutWs32(fcr.data() + 0x10, kNone);
        PutWs32(fcr.data() + 0x1E, lastData);
        PutLe16(fcr.data() + 0x24, 1);
        const uint32_t used = count - (dataPages - 1) * perPage;
        PutLe16(fcr.data() + 0x2A, uint16_t(p - 6 - used * physical));
    }
    uint32_t at = 0x110;
    for (size_t k = 0; k < spec.keys.size(); ++k) {
        const auto& segments = layout.keys[k].segments;
        if (v6) PutLe16(fcr.data() + kat + 2 * k, uint16_t(at));
        for (size_t s = 0; s < segments.size(); ++s, at += 30) {
            if (at + 30 > (v6 ? kat : p)) throw std::runtime_error("too many key segments");
            uint8_t* e = fcr.data() + at;
            if (s == 0) {
                refWriter(uint8_t(0x80 + k))(e, roots[k]);
                PutWs32(e + 0x04, uniques[k]);
                PutLe16(e + 0x0A, layout.keys[k].length);
                PutLe16(e + 0x0C, entrySizes[k]);
                PutLe16(e + 0x0E, capacities[k]);
                PutLe16(e + 0x10, uint16_t(capacities[k] / 2));
                PutLe16(e + 0x12, dupOffset[k]);
                if (v6) e[0x18] = uint8_t(0x80 + k);
            }
            PutLe16(e + 0x08, segments[s].flags);
            PutLe16(e + 0x14, uint16_t(segments[s].offset + base));
            PutLe16(e + 0x16, segments[s].length);
            if (v6 && segments[s].acs == 0) PutLe16(e + 0x1A, 1);  // the ACS's logical page
            e[0x1C] = segments[s].type;
            e[0x1D] = segments[s].nullValue;
        }
    }

    std::vector<std::vector<uint8_t>> file;
    if (!v6) {
        pages[0] = fcr;
        file = std::move(pages);
    } else {
        // Older FCR copy first (usage 1, a wrong record count), the current one second.
        std::vector<uint8_t> older = fcr;
        PutLe32(older.data() + 0x04, 1);
        PutWs32(older.data() + 0x1A, count + 17);
        file.push_back(older);
        file.push_back(fcr);
        const uint32_t group = p / 4;  // physical pages per table group
        const uint32_t perTable = group - 2;
        std::vector<uint32_t> physicalOf(logicalPages + 1, 0);
        std::vector<uint8_t> typeOf(logicalPages + 1, 0);
        auto isTable = [&](size_t phys) { return phys >= 2 && (phys - 2) % group < 2; };
        auto append = [&](std::vector<uint8_t> page) {
            while (isTable(file.size())) file.emplace_back(p, 0);  // filled below
            file.push_back(std::move(page));
            return uint32_t(file.size() - 1);
        };
        for (uint32_t l = 1; l <= logicalPages; ++l) {
            typeOf[l] = pages[l][1];
            if (typeOf[l] == 'D' && l % 7 == 0) {
                std::vector<uint8_t> stale = pages[l];  // an earlier state of the page
                for (uint32_t s = 0; s < perPage; ++s) {
                    uint8_t* slot = stale.data() + 6 + s * physical;
                    PutLe16(slot, 1);
                    std::memset(slot + base, 0xA5, spec.recordLength);
                }
                append(std::move(stale));
            }
            physicalOf[l] = append(std::move(pages[l]));
        }
        const uint32_t groups = (logicalPages + perTable - 1) / perTable;
        while (file.size() < 2 + size_t(groups - 1) * group + 2) file.emplace_back(p, 0);
        for (uint32_t g = 0; g < groups; ++g) {
            std::vector<uint8_t>& older = file[2 + g * group];
            std::vector<uint8_t>& current = file[3 + g * group];
            for (auto* t : {&older, &current}) {
                (*t)[0] = 'P';
                (*t)[1] = 'P';
                PutLe16(t->data() + 2, 1);
            }
            PutLe32(older.data() + 4, 1);
            PutLe32(current.data() + 4, 2);
            for (uint32_t i = 0; i < perTable; ++i) {
                const uint32_t l = g * perTable + i + 1;
                if (l > logicalPages) break;
                PutPageRef(current.data() + 8 + 4 * i, physicalOf[l], typeOf[l]);
                PutPageRef(older.data() + 8 + 4 * i, 2 + g * group, 'D');  // stale, wrong
            }
        }
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& page : file) out.write(reinterpret_cast<const char*>(page.data()), p);
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace realbench
