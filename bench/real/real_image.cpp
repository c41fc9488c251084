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
                uint16_t keyLength, bool linked, TRefWriter ref, bool v8, uint16_t type8)
        : pages_(pages),
          first_(firstPage),
          pageSize_(pageSize),
          keyLength_(keyLength),
          linked_(linked),
          v8_(v8),
          type8_(type8),
          header_(v8 ? 14 : 12),
          entry_(uint16_t(keyLength + (linked ? 12 : 8))),
          capacity_((pageSize - header_) / entry_),
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
        if (v8_) {
            PutLe32(page.data(), number);
            PutLe16(page.data() + 4, type8_);
            PutLe16(page.data() + 6, 1);
            PutLe16(page.data() + 8, uint16_t(count));
            PutLe32(page.data() + 10, children.empty() ? kNone : children[child + count]);
        } else {
            ref_(page.data(), number);
            PutLe16(page.data() + 4, 1);
            PutLe16(page.data() + 6, uint16_t(count));
            ref_(page.data() + 8, children.empty() ? kNone : children[child + count]);
        }
        auto address = [this](uint8_t* at, uint32_t a) {
            if (v8_)
                PutLe32(at, a);
            else
                PutWs32(at, a);
        };
        for (size_t i = 0; i < count; ++i) {
            uint8_t* e = page.data() + header_ + i * entry_;
            const TItem& item = items[at + i];
            ref_(e, children.empty() ? kNone : children[child + i]);
            std::memcpy(e + 4, item.key, keyLength_);
            address(e + 4 + keyLength_, item.address);
            if (linked_) address(e + 8 + keyLength_, item.last);
        }
        pages_.push_back(std::move(page));
        return number;
    }

    std::vector<std::vector<uint8_t>>& pages_;
    uint32_t first_;
    uint32_t pageSize_;
    uint16_t keyLength_;
    bool linked_;
    bool v8_;
    uint16_t type8_;
    uint32_t header_;
    uint16_t entry_;
    size_t capacity_;
    TRefWriter ref_;
};

// Per key: the reader's description, the records in key order as index entries, and the
// duplicate neighbours of each record.
struct TOrders {
    recman::real::TRealLayout layout;
    std::vector<std::vector<uint8_t>> keyBytes;
    std::vector<std::vector<TItem>> items;
    std::vector<uint32_t> uniques;
    std::vector<uint16_t> dupOffset;
    std::vector<std::vector<uint32_t>> prev, next;
};

void Order(TOrders& o, const TImageSpec& spec, const std::vector<std::vector<uint8_t>>& records,
           const std::function<uint32_t(uint32_t)>& address, size_t firstPair) {
    const uint32_t count = uint32_t(records.size());
    const bool hasAcs = !spec.acsTable.empty();
    if (hasAcs) {
        o.layout.acs.emplace_back();
        std::copy_n(spec.acsTable.begin(), 256, o.layout.acs[0].table.begin());
    }
    const size_t keys = spec.keys.size();
    o.keyBytes.assign(keys, {});
    o.items.assign(keys, {});
    o.uniques.assign(keys, 0);
    o.dupOffset.assign(keys, 0);
    o.prev.assign(keys, std::vector<uint32_t>(count, kNone));
    o.next = o.prev;
    size_t nextPair = firstPair;
    for (size_t k = 0; k < keys; ++k) {
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
            o.dupOffset[k] = uint16_t(nextPair);
            nextPair += 8;
        }
        o.layout.keys.push_back(key);
        for (const auto& r : records)
            for (const auto& seg : key.segments)
                o.keyBytes[k].insert(o.keyBytes[k].end(), r.begin() + seg.offset,
                                     r.begin() + seg.offset + seg.length);
    }
    for (size_t k = 0; k < keys; ++k) {
        const recman::real::TRealKey& key = o.layout.keys[k];
        auto value = [&](uint32_t i) { return o.keyBytes[k].data() + size_t(i) * key.length; };
        std::vector<uint32_t> order;
        for (uint32_t i = 0; i < count; ++i)
            if (!recman::real::IsNullKey(key, value(i))) order.push_back(i);
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return recman::real::CompareKeys(o.layout, key, value(a), value(b)) < 0;
        });
        std::vector<TItem>& items = o.items[k];
        for (size_t i = 0; i < order.size();) {
            size_t j = i + 1;
            while (j < order.size() &&
                   recman::real::CompareKeys(o.layout, key, value(order[i]), value(order[j])) == 0)
                ++j;
            if (j - i > 1 && !spec.keys[k].duplicates)
                throw std::runtime_error("a unique key repeats");
            if (spec.keys[k].duplicates) {
                items.push_back({value(order[i]), address(order[i]), address(order[j - 1])});
                for (size_t d = i; d + 1 < j; ++d) {
                    o.next[k][order[d]] = address(order[d + 1]);
                    o.prev[k][order[d + 1]] = address(order[d]);
                }
            } else {
                for (size_t d = i; d < j; ++d)
                    items.push_back({value(order[d]), address(order[d]), 0});
            }
            ++o.uniques[k];
            i = j;
        }
    }
}

// A record as the engine compresses it: literal blocks and runs of four or more bytes.
std::vector<uint8_t> Compress(const std::vector<uint8_t>& record) {
    std::vector<uint8_t> out;
    size_t i = 0, literalFrom = 0;
    auto put16 = [&](size_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    while (i <= record.size()) {
        size_t run = 0;
        if (i < record.size())
            while (i + run < record.size() && record[i + run] == record[i] && run < 0xFFFF) ++run;
        if (i == record.size() || run >= 4) {
            put16(i - literalFrom);
            out.insert(out.end(), record.begin() + literalFrom, record.begin() + i);
            if (i == record.size()) break;
            put16(run);
            out.push_back(record[i]);
            i += run;
            literalFrom = i;
            if (i == record.size()) break;
        } else {
            i += std::max<size_t>(run, 1);
        }
    }
    return out;
}

void WriteImage8(const std::string& path, const TImageSpec& spec,
                 const std::vector<std::vector<uint8_t>>& records);

}  // namespace

void WriteRealImage(const std::string& path, const TImageSpec& spec,
                    const std::vector<std::vector<uint8_t>>& records) {
    if (spec.format8) {
        WriteImage8(path, spec, records);
        return;
    }
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

    TOrders o;
    Order(o, spec, records, address, base + spec.recordLength);
    const recman::real::TRealLayout& layout = o.layout;
    const std::vector<uint16_t>& dupOffset = o.dupOffset;
    const std::vector<uint32_t>& uniques = o.uniques;
    const auto& prev = o.prev;
    const auto& next = o.next;
    std::vector<std::vector<uint8_t>> pages(lastData + 1, std::vector<uint8_t>(p, 0));
    std::vector<std::vector<uint8_t>> indexPages;
    std::vector<uint32_t> roots(spec.keys.size());
    std::vector<uint16_t> entrySizes(spec.keys.size()), capacities(spec.keys.size());
    for (size_t k = 0; k < spec.keys.size(); ++k) {
        TTreeWriter tree(indexPages, lastData + 1, p, layout.keys[k].length,
                         spec.keys[k].duplicates, refWriter(uint8_t(0x80 + k)), false, 0);
        roots[k] = tree.Build(o.items[k]);
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

namespace {

// 8.0: page header [LE32 number][LE16 kind][LE16 usage]; slots from offset 8; variable
// pages with fragments [6-byte next pointer][data]; page tables in groups of 320, 640 or
// 1280 physical pages.
void WriteImage8(const std::string& path, const TImageSpec& spec,
                 const std::vector<std::vector<uint8_t>>& records) {
    const uint32_t p = spec.pageSize;
    const uint32_t u = std::max<uint32_t>(2 * p, 2048);
    const uint32_t copyPages = u / p;
    const bool z = spec.compressed;
    size_t dupKeys = 0;
    for (const TImageKey& k : spec.keys) dupKeys += k.duplicates;
    const uint16_t pairsAt = uint16_t(z ? 9 : 2 + spec.recordLength);
    const uint16_t physical = uint16_t(pairsAt + 8 * dupKeys);
    const uint32_t perPage = (p - 8) / physical;
    uint8_t bits = 1;
    while ((1u << bits) < perPage) ++bits;
    const uint32_t count = uint32_t(records.size());
    const uint32_t dataPages = count == 0 ? 1 : (count + perPage - 1) / perPage;
    const bool hasAcs = !spec.acsTable.empty();
    const uint32_t firstData = hasAcs ? 2 : 1;
    const uint32_t lastData = firstData + dataPages - 1;
    auto address = [&](uint32_t i) { return ((firstData + i / perPage) << bits) | (i % perPage); };

    TOrders o;
    Order(o, spec, records, address, pairsAt);
    std::vector<std::vector<uint8_t>> pages(lastData + 1, std::vector<uint8_t>(p, 0));
    std::vector<std::vector<uint8_t>> indexPages;
    std::vector<uint32_t> roots(spec.keys.size());
    std::vector<uint16_t> entrySizes(spec.keys.size()), capacities(spec.keys.size());
    const TRefWriter plain = [](uint8_t* at, uint32_t page) { PutLe32(at, page); };
    for (size_t k = 0; k < spec.keys.size(); ++k) {
        TTreeWriter tree(indexPages, lastData + 1, p, o.layout.keys[k].length,
                         spec.keys[k].duplicates, plain, true, uint16_t(0x8000 + k));
        roots[k] = tree.Build(o.items[k]);
        entrySizes[k] = tree.EntrySize();
        capacities[k] = tree.Capacity();
    }
    for (auto& page : indexPages) pages.push_back(std::move(page));

    auto header = [&](std::vector<uint8_t>& page, uint32_t number, uint16_t kind, uint16_t use) {
        PutLe32(page.data(), number);
        PutLe16(page.data() + 4, kind);
        PutLe16(page.data() + 6, use);
    };
    if (hasAcs) {
        header(pages[1], 1, 'A', 1);
        uint8_t* acs = pages[1].data() + 8;
        acs[0] = 0xAC;
        std::memset(acs + 1, ' ', 8);
        std::memcpy(acs + 1, spec.acsName.data(), std::min<size_t>(spec.acsName.size(), 8));
        std::memcpy(acs + 9, spec.acsTable.data(), 256);
    }
    for (uint32_t page = firstData; page <= lastData; ++page)
        header(pages[page], page, 'D', 0x8001);

    // Compressed streams packed into variable pages, split where a page fills up.
    std::vector<uint8_t>* vpage = nullptr;
    uint32_t vnumber = 0, vfill = 0, vcount = 0;
    const uint32_t tableRoom = 2 * 64;  // at most 63 fragments a page
    auto closePage = [&]() {
        if (!vpage) return;
        PutLe16(vpage->data() + 0x0E, uint16_t(vcount));
        PutLe16(vpage->data() + p - 2 * (vcount + 1), uint16_t(vfill));
        vpage = nullptr;
    };
    auto newPage = [&]() {
        closePage();
        pages.emplace_back(p, 0);
        vnumber = uint32_t(pages.size() - 1);
        vpage = &pages.back();
        header(*vpage, vnumber, 'V', 1);
        std::memset(vpage->data() + 8, 0xFF, 6);
        vfill = 0x10;
        vcount = 0;
    };
    // Stores data as a chain of fragments; writes the pointer to the first into head.
    auto store = [&](const std::vector<uint8_t>& data, uint8_t* headCopy) {
        size_t done = 0;
        uint8_t* link = headCopy;
        size_t linkPage = SIZE_MAX, linkAt = 0;
        do {
            if (!vpage || vcount + 1 >= tableRoom / 2 || vfill + 6 + 1 > p - tableRoom) newPage();
            const size_t room = p - tableRoom - vfill - 6;
            const size_t take = std::min(room, data.size() - done);
            uint8_t pointer[6];
            PutLe32(pointer, vnumber);
            PutLe16(pointer + 4, uint16_t(vcount));
            if (linkPage == SIZE_MAX)
                std::memcpy(link, pointer, 6);
            else
                std::memcpy(pages[linkPage].data() + linkAt, pointer, 6);
            uint8_t* frag = vpage->data() + vfill;
            PutLe16(vpage->data() + p - 2 * (vcount + 1), uint16_t(vfill));
            std::memset(frag, 0xFF, 6);
            linkPage = vnumber;
            linkAt = vfill;
            std::memcpy(frag + 6, data.data() + done, take);
            vfill += uint32_t(6 + take);
            ++vcount;
            done += take;
        } while (done < data.size());
    };

    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* slot = pages[firstData + i / perPage].data() + 8 + (i % perPage) * physical;
        if (z) {
            uint8_t head[6];
            store(Compress(records[i]), head);
            slot = pages[firstData + i / perPage].data() + 8 + (i % perPage) * physical;
            std::memcpy(slot, head, 6);
            slot[6] = 1;
            PutLe16(slot + 7, 1);
        } else {
            PutLe16(slot, 1);
            std::memcpy(slot + 2, records[i].data(), spec.recordLength);
        }
        for (size_t k = 0; k < spec.keys.size(); ++k) {
            if (!spec.keys[k].duplicates) continue;
            PutLe32(slot + o.dupOffset[k], o.prev[k][i]);
            PutLe32(slot + o.dupOffset[k] + 4, o.next[k][i]);
        }
    }
    closePage();
    const uint32_t logicalPages = uint32_t(pages.size()) - 1;

    std::vector<uint8_t> fcr(u, 0);
    fcr[0] = 'F';
    fcr[1] = 'C';
    PutLe16(fcr.data() + 0x04, 0x43);
    PutLe16(fcr.data() + 0x06, 2);
    PutLe16(fcr.data() + 0x14, uint16_t(spec.keys.size()));
    PutLe16(fcr.data() + 0x16, z ? 0 : spec.recordLength);
    PutLe16(fcr.data() + 0x18, physical);
    PutWs32(fcr.data() + 0x1A, count);
    PutLe16(fcr.data() + 0x2A, uint16_t(p));
    if (z) fcr[0x38] = 0xFF;
    PutLe16(fcr.data() + 0x4A, 0x0800);
    fcr[0x15F] = bits;
    PutLe16(fcr.data() + 0x190, z ? 0x0009 : 0);
    PutLe16(fcr.data() + 0x192, z ? spec.recordLength : 0);
    const uint32_t kat = u - 2 * 128;
    PutLe16(fcr.data() + 0x7A, uint16_t(kat));
    uint32_t at = 0x198;
    for (size_t k = 0; k < spec.keys.size(); ++k) {
        const auto& segments = o.layout.keys[k].segments;
        PutLe16(fcr.data() + kat + 2 * k, uint16_t(at));
        for (size_t s = 0; s < segments.size(); ++s, at += 36) {
            if (at + 36 > kat) throw std::runtime_error("too many key segments");
            uint8_t* e = fcr.data() + at;
            if (s == 0) {
                PutLe32(e, roots[k]);
                PutWs32(e + 0x04, o.uniques[k]);
                PutLe16(e + 0x0A, o.layout.keys[k].length);
                PutLe16(e + 0x0C, entrySizes[k]);
                PutLe16(e + 0x0E, capacities[k]);
                PutLe16(e + 0x10, uint16_t(capacities[k] / 2));
                PutLe16(e + 0x12, o.dupOffset[k]);
            }
            PutLe16(e + 0x08, segments[s].flags);
            PutLe16(e + 0x14, uint16_t(segments[s].offset + (z ? 0 : 2)));
            PutLe16(e + 0x16, segments[s].length);
            e[0x18] = uint8_t(k);
            e[0x19] = segments[s].acs == 0 ? 1 : 0;
            e[0x1C] = segments[s].type;
            e[0x1D] = segments[s].nullValue;
            e[0x1E] = 0x80;
        }
    }

    // Physical pages: the two control records, a zero-filled stretch, then groups each led
    // by the two copies of its page table.
    const uint32_t spacing = p <= 1024 ? 320 : p == 2048 ? 640 : 1280;
    const uint32_t perGroup = spacing - 2 * copyPages;
    const uint32_t firstTable = 4 * copyPages;
    const uint32_t groups = std::max<uint32_t>(1, (logicalPages + perGroup - 1) / perGroup);
    if (p == 4096 && groups > 1) throw std::runtime_error("too many pages for 4096-byte pages");
    std::vector<std::vector<uint8_t>> file(firstTable, std::vector<uint8_t>(p, 0));
    std::vector<uint8_t> older = fcr;
    PutLe16(older.data() + 0x06, 1);
    PutLe16(older.data() + 0x0A, 0x4000);
    PutWs32(older.data() + 0x1A, count + 17);
    for (uint32_t i = 0; i < copyPages; ++i) {
        std::memcpy(file[i].data(), older.data() + i * p, p);
        std::memcpy(file[copyPages + i].data(), fcr.data() + i * p, p);
    }
    auto isTable = [&](size_t phys) {
        return phys >= firstTable && (phys - firstTable) % spacing < 2 * copyPages;
    };
    std::vector<uint32_t> physicalOf(logicalPages + 1, 0);
    for (uint32_t l = 1; l <= logicalPages; ++l) {
        while (isTable(file.size())) file.emplace_back(p, 0);
        physicalOf[l] = uint32_t(file.size());
        file.push_back(std::move(pages[l]));
    }
    for (uint32_t g = 0; g < groups; ++g) {
        while (file.size() < firstTable + size_t(g) * spacing + 2 * copyPages)
            file.emplace_back(p, 0);
        std::vector<uint8_t> table(u, 0);
        table[0] = uint8_t(g + 1);
        table[3] = table[4] = 'P';
        PutLe16(table.data() + 0x0E, uint16_t(g));
        for (uint32_t i = 0; i < perGroup; ++i) {
            const uint32_t l = g * perGroup + i + 1;
            uint8_t* e = table.data() + 0x14 + 6 * i;
            if (l > logicalPages) {
                PutLe32(e, 0xFFFFFFFEu);
                continue;
            }
            const uint8_t* page = file[physicalOf[l]].data();
            PutLe32(e, physicalOf[l]);
            PutLe16(e + 4, recman::real::Le16(page + 4));
        }
        std::vector<uint8_t> stale = table;  // the older copy names nothing
        std::memset(stale.data() + 0x14, 0, 6 * perGroup);
        PutLe16(stale.data() + 6, 1);
        PutLe16(table.data() + 6, 2);
        const size_t first = firstTable + size_t(g) * spacing;
        for (uint32_t i = 0; i < copyPages; ++i) {
            std::memcpy(file[first + i].data(), stale.data() + i * p, p);
            std::memcpy(file[first + copyPages + i].data(), table.data() + i * p, p);
        }
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& page : file) out.write(reinterpret_cast<const char*>(page.data()), p);
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace

}  // namespace realbench
