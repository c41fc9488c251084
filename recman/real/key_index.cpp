#include "recman/real/key_index.h"

#include <cstring>

#include "recman/real/bytes.h"
#include "recman/real/key_compare.h"
#include "recman/real/real_error.h"

namespace recman::real {

namespace {

constexpr uint32_t kIndexHeader = 12;
constexpr uint32_t kIndexHeader8 = 0x0E;
constexpr size_t kMaxDepth = 64;

struct TFrame {
    std::vector<uint8_t> page;
    uint32_t count = 0;
    uint32_t next = 0;       // entry to handle next
    bool childDone = false;  // the child left of entry `next` has been walked
};

class TIndexWalk {
  public:
    TIndexWalk(TPageFile& file, const TRealLayout& layout, TRecordStore& store, size_t k)
        : file_(file),
          layout_(layout),
          store_(store),
          k_(k),
          key_(layout.keys[k]),
          seen_(store.Live().size(), false),
          scratch_(key_.length),
          v8_(layout.format == TFormat::New8x),
          header_(v8_ ? kIndexHeader8 : kIndexHeader) {}

    TKeyIndex Run() {
        const size_t pages = layout_.pageCount + 1;
        visitedPage_.assign(pages, false);
        index_.addresses.reserve(store_.Live().size());
        index_.values.reserve(store_.Live().size() * key_.length);
        if (key_.root != kNoPointer) Walk(key_.root);
        CheckCoverage();
        CheckOrder();
        return std::move(index_);
    }

  private:
    uint32_t Child(const uint8_t* p) const {
        if (Le32(p) == kNoPointer) return kNoPointer;
        if (v8_) return Le32(p);
        return layout_.format == TFormat::Old5x ? Ws32(p) : PageRefNumber(p);
    }

    void Push(std::vector<TFrame>& stack, uint32_t number) {
        if (stack.size() >= kMaxDepth)
            Damaged("index of key " + std::to_string(k_) + " is too deep");
        if (number == 0 || number > layout_.pageCount || visitedPage_[number])
            Damaged("index of key " + std::to_string(k_) + " loops or leaves the file");
        visitedPage_[number] = true;
        const uint8_t type = uint8_t(0x80 + k_);
        const uint32_t phys = PhysicalPage(layout_, number, type);
        const uint8_t* page = file_.Page(phys);
        if (layout_.format != TFormat::Old5x) {
            if (!PageHeaderMatches(layout_, page, number, type))
                Damaged("index page " + std::to_string(number) + " does not match its table entry");
        } else if (Le16(page + 4) & 0x8000) {
            Damaged("index of key " + std::to_string(k_) + " points at a data page");
        }
        TFrame frame;
        frame.count = Le16(page + (v8_ ? 8 : 6));
        if (header_ + uint64_t(frame.count) * key_.entrySize > layout_.pageSize)
            Damaged("index page " + std::to_string(number) + " holds more entries than fit");
        frame.page.assign(page, page + layout_.pageSize);
        stack.push_back(std::move(frame));
    }

    void Walk(uint32_t root) {
        std::vector<TFrame> stack;
        Push(stack, root);
        while (!stack.empty()) {
            TFrame& top = stack.back();
            if (top.next > top.count) {
                stack.pop_back();
                continue;
            }
            const uint8_t* entry = top.next < top.count
                                       ? top.page.data() + header_ + top.next * key_.entrySize
                                       : nullptr;
            if (!top.childDone) {
                top.childDone = true;
                const uint32_t child = Child(entry ? entry : top.page.data() + (v8_ ? 0x0A : 8));
                if (child != kNoPointer) Push(stack, child);
                continue;
            }
            if (entry) Emit(entry);
            top.childDone = false;
            ++top.next;
        }
    }

    void Visit(uint32_t address, const uint8_t* value) {
        const size_t at = store_.Find(address);
        if (at == seen_.size())
            Damaged("index of key " + std::to_string(k_) + " names a record that does not exist");
        if (seen_[at]) Damaged("index of key " + std::to_string(k_) + " visits a record twice");
        seen_[at] = true;
        // Compressed records are checked against their keys in one pass afterwards
        // (CheckKeyValues), each expanded once instead of once per key.
        if (!layout_.compressed) {
            store_.KeyValue(address, k_, scratch_.data());
            if (CompareKeys(layout_, key_, value, scratch_.data()) != 0) Disagrees(layout_, k_);
        }
        index_.addresses.push_back(address);
        index_.values.insert(index_.values.end(), value, value + key_.length);
    }

    void Emit(const uint8_t* entry) {
        const uint8_t* value = entry + 4;
        uint32_t address = store_.AddressAt(value + key_.length);
        if (!key_.linked) {
            Visit(address, value);
            return;
        }
        const uint32_t last = store_.AddressAt(value + key_.length + 4);
        for (;;) {
            Visit(address, value);
            if (address == last) return;
            address = store_.AddressAt(store_.Slot(address) + key_.dupOffset + 4);
            if (address == kNoPointer)
                Damaged("a duplicate chain of key " + std::to_string(k_) + " ends early");
        }
    }

    void CheckCoverage() {
        const std::vector<uint32_t>& live = store_.Live();
        for (size_t i = 0; i < live.size(); ++i) {
            if (seen_[i]) continue;
            store_.KeyValue(live[i], k_, scratch_.data());
            if (!IsNullKey(key_, scratch_.data()))
                Damaged("index of key " + std::to_string(k_) + " misses records");
        }
    }

    // A collation we do not reproduce exactly turns key searches into scans; the walk order
    // itself is the file's and stays right.
    void CheckOrder() {
        const size_t n = index_.addresses.size();
        const bool unique = !(key_.flags & 0x0001);
        for (size_t i = 1; i < n; ++i) {
            const int c = CompareKeys(layout_, key_, &index_.values[(i - 1) * key_.length],
                                      &index_.values[i * key_.length]);
            if (c > 0 || (unique && c == 0)) {
                index_.ordered = false;
                return;
            }
        }
    }

    TPageFile& file_;
    const TRealLayout& layout_;
    TRecordStore& store_;
    size_t k_;
    const TRealKey& key_;
    std::vector<bool> seen_;
    std::vector<bool> visitedPage_;
    std::vector<uint8_t> scratch_;
    TKeyIndex index_;
    bool v8_;
    uint32_t header_;
};

}  // namespace

void Disagrees(const TRealLayout& layout, size_t k) {
    if (layout.ownerMarked)
        throw ERealFile(kInvalidOwner, "Not supported: records encrypted under an owner name");
    Damaged("index of key " + std::to_string(k) + " disagrees with a record");
}

void CheckKeyValues(const TRealLayout& layout, TRecordStore& store,
                    const std::vector<TKeyIndex>& indexes) {
    constexpr uint32_t kAbsent = 0xFFFFFFFFu;
    const std::vector<uint32_t>& live = store.Live();
    // Position of each live record in each index, in physical order.
    std::vector<std::vector<uint32_t>> positions(indexes.size());
    for (size_t k = 0; k < indexes.size(); ++k) {
        positions[k].assign(live.size(), kAbsent);
        const std::vector<uint32_t>& addresses = indexes[k].addresses;
        for (size_t pos = 0; pos < addresses.size(); ++pos)
            positions[k][store.Find(addresses[pos])] = uint32_t(pos);
    }
    std::vector<uint8_t> record;
    std::vector<uint8_t> value;
    for (size_t i = 0; i < live.size(); ++i) {
        store.Read(live[i], record);
        for (size_t k = 0; k < indexes.size(); ++k) {
            const uint32_t pos = positions[k][i];
            if (pos == kAbsent) continue;
            const TRealKey& key = layout.keys[k];
            value.clear();
            for (const TRealSegment& seg : key.segments)
                value.insert(value.end(), record.begin() + seg.offset,
                             record.begin() + seg.offset + seg.length);
            if (CompareKeys(layout, key, &indexes[k].values[size_t(pos) * key.length],
                            value.data()) != 0)
                Disagrees(layout, k);
        }
    }
}

TKeyIndex BuildKeyIndex(TPageFile& file, const TRealLayout& layout, TRecordStore& store, size_t k) {
    return TIndexWalk(file, layout, store, k).Run();
}

}  // namespace recman::real
