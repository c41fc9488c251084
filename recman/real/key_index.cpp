#include "recman/real/key_index.h"

#include <algorithm>
#include <cstring>

#include "recman/real/bytes.h"
#include "recman/real/key_compare.h"
#include "recman/real/real_error.h"

namespace recman::real {

namespace {

constexpr uint32_t kIndexHeader = 12;
constexpr uint32_t kIndexHeader8 = 0x0E;
constexpr size_t kMaxDepth = 64;
// Entries read at a time after open: a walk in either direction reads each block once.
constexpr size_t kBlock = 1024;
// The entries checked against their records at once are held in about this many bytes.
constexpr size_t kCheckBytes = size_t{4} << 20;

}  // namespace

TKeyOrder::TKeyOrder(TPageFile& file, const TRealLayout& layout, TRecordStore& store, size_t k)
    : file_(file),
      layout_(layout),
      store_(store),
      k_(k),
      key_(layout.keys[k]),
      plain_(PlainOrderOf(key_)),
      v8_(layout.format == TFormat::New8x),
      header_(v8_ ? kIndexHeader8 : kIndexHeader),
      value_(key_.length),
      scratch_(key_.length) {
    std::vector<bool> visited(size_t(layout_.pageCount) + 1, false);
    visited_ = &visited;
    std::vector<bool> seen(store_.SlotSpace(), false);
    if (key_.root != kNoPointer) Push(key_.root);
    std::vector<uint8_t> previous(key_.length);
    const bool unique = !(key_.flags & 0x0001);
    TPending pending;
    pending.limit =
        std::clamp<size_t>(kCheckBytes / (sizeof(uint64_t) + key_.length), kBlock, size_t{1} << 20);
    uint32_t checked = 0;  // the address of the last record checked at once
    for (;;) {
        if (size_ % kBlock == 0) Mark();
        uint32_t address = 0;
        if (!Step(address)) break;
        // Records met in their own order are checked at once; the others wait, to be read
        // in that order.
        if (pending.order.empty() && (size_ == 0 || address > checked)) {
            Visit(address, value_.data(), seen);
            checked = address;
        } else {
            pending.Add(address, value_.data(), key_.length);
            if (pending.order.size() == pending.limit) CheckPending(pending, seen);
        }
        if (size_ % kBlock == 0)
            firstValues_.insert(firstValues_.end(), value_.begin(), value_.end());
        if (size_ > 0 && ordered_) {
            // A collation we do not reproduce exactly turns key searches into scans; the
            // walk order itself is the file's and stays right.
            const int c = Compare(previous.data(), value_.data());
            if (c > 0 || (unique && c == 0)) ordered_ = false;
        }
        std::memcpy(previous.data(), value_.data(), key_.length);
        ++size_;
    }
    if (size_ % kBlock == 0) marks_.pop_back();  // the walk ended where a block would start
    CheckPending(pending, seen);
    if (size_ != store_.Count()) CheckCoverage(seen);
    stack_.clear();
    visited_ = nullptr;
}

uint32_t TKeyOrder::Child(const uint8_t* p) const {
    if (Le32(p) == kNoPointer) return kNoPointer;
    if (v8_) return Le32(p);
    return layout_.format == TFormat::Old5x ? Ws32(p) : PageRefNumber(p);
}

void TKeyOrder::Push(uint32_t number) const {
    if (stack_.size() >= kMaxDepth) Damaged("index of key " + std::to_string(k_) + " is too deep");
    if (number == 0 || number > layout_.pageCount || (visited_ && (*visited_)[number]))
        Damaged("index of key " + std::to_string(k_) + " loops or leaves the file");
    if (visited_) (*visited_)[number] = true;
    const uint8_t type = uint8_t(0x80 + k_);
    const uint8_t* page = file_.Page(PhysicalPage(layout_, number, type));
    if (layout_.format != TFormat::Old5x) {
        if (!PageHeaderMatches(layout_, page, number, type))
            Damaged("index page " + std::to_string(number) + " does not match its table entry");
    } else if (Le16(page + 4) & 0x8000) {
        Damaged("index of key " + std::to_string(k_) + " points at a data page");
    }
    TFrame frame;
    frame.page = number;
    frame.count = Le16(page + (v8_ ? 8 : 6));
    if (header_ + uint64_t(frame.count) * key_.entrySize > layout_.pageSize)
        Damaged("index page " + std::to_string(number) + " holds more entries than fit");
    frame.bytes.assign(page, page + layout_.pageSize);
    stack_.push_back(std::move(frame));
}

// In order: each entry's child, then the entry, and at the end the rightmost child. An
// entry of a linked-duplicate key stands for its chain, from the first record to the last.
bool TKeyOrder::Step(uint32_t& address) const {
    if (inChain_) {
        address = store_.AddressAt(store_.Slot(chainAt_) + key_.dupOffset + 4);
        if (address == kNoPointer)
            Damaged("a duplicate chain of key " + std::to_string(k_) + " ends early");
        chainAt_ = address;
        inChain_ = address != chainLast_;
        return true;
    }
    while (!stack_.empty()) {
        TFrame& top = stack_.back();
        if (top.next > top.count) {
            stack_.pop_back();
            continue;
        }
        const uint8_t* entry =
            top.next < top.count ? top.bytes.data() + header_ + top.next * key_.entrySize : nullptr;
        if (!top.childDone) {
            top.childDone = true;
            const uint32_t child = Child(entry ? entry : top.bytes.data() + (v8_ ? 0x0A : 8));
            if (child != kNoPointer) {
                Push(child);
                continue;
            }
            // No child (a leaf): the entry itself is next.
        }
        top.childDone = false;
        ++top.next;
        if (!entry) continue;
        const uint8_t* value = entry + 4;
        std::memcpy(value_.data(), value, key_.length);
        address = store_.AddressAt(value + key_.length);
        if (key_.linked) {
            chainAt_ = address;
            chainLast_ = store_.AddressAt(value + key_.length + 4);
            inChain_ = address != chainLast_;
        }
        return true;
    }
    return false;
}

void TKeyOrder::Mark() {
    TMark mark;
    mark.frames = uint32_t(markFrames_.size());
    mark.depth = uint32_t(stack_.size());
    mark.inChain = inChain_;
    mark.chainAt = chainAt_;
    mark.chainLast = chainLast_;
    for (const TFrame& f : stack_) markFrames_.push_back({f.page, f.next, f.childDone});
    marks_.push_back(mark);
}

void TKeyOrder::Restore(size_t block) const {
    const TMark& mark = marks_[block];
    stack_.clear();
    for (uint32_t i = 0; i < mark.depth; ++i) {
        const TMarkFrame& f = markFrames_[mark.frames + i];
        Push(f.page);
        stack_.back().next = f.next;
        stack_.back().childDone = f.childDone;
    }
    inChain_ = mark.inChain;
    chainAt_ = mark.chainAt;
    chainLast_ = mark.chainLast;
    // Inside a chain the value is that of the block's first entry, the chain's own.
    std::memcpy(value_.data(), &firstValues_[block * key_.length], key_.length);
}

const TKeyOrder::TBlock& TKeyOrder::Load(size_t pos) const {
    const size_t number = pos / kBlock;
    for (size_t i = 0; i < 2; ++i)
        if (blocks_[i].number == number) {
            older_ = 1 - i;
            return blocks_[i];
        }
    TBlock& b = blocks_[older_];
    older_ = 1 - older_;
    b.number = SIZE_MAX;  // a failing read leaves nothing behind
    b.addresses.clear();
    b.values.clear();
    Restore(number);
    const size_t count = std::min(kBlock, size_ - number * kBlock);
    const size_t length = key_.length;
    b.addresses.resize(count);
    b.values.resize(count * length);
    for (size_t i = 0; i < count; ++i) {
        if (!Step(b.addresses[i]))
            Damaged("index of key " + std::to_string(k_) + " changed under the reader");
        std::memcpy(&b.values[i * length], value_.data(), length);
    }
    stack_.clear();
    b.number = number;
    return b;
}

uint32_t TKeyOrder::Address(size_t pos) const {
    return Load(pos).addresses[pos % kBlock];
}

const uint8_t* TKeyOrder::Value(size_t pos) const {
    return &Load(pos).values[(pos % kBlock) * key_.length];
}

int TKeyOrder::Compare(const uint8_t* a, const uint8_t* b) const {
    return CompareKeys(plain_, layout_, key_, a, b);
}

size_t TKeyOrder::Bound(const uint8_t* value, bool after) const {
    auto before = [&](const uint8_t* v) {
        const int c = Compare(v, value);
        return c < 0 || (after && c == 0);
    };
    // The blocks whose first entry lies before the bound, then the last of them.
    size_t lo = 0, hi = marks_.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (before(&firstValues_[mid * key_.length]))
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == 0) return 0;
    lo = (lo - 1) * kBlock + 1;
    hi = std::min(lo - 1 + kBlock, size_);
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (before(Value(mid)))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void TKeyOrder::TPending::Add(uint32_t address, const uint8_t* value, size_t length) {
    if (order.capacity() < limit) {  // the first entry that waits: room for all of them
        order.reserve(limit);
        values.resize(limit * length);
    }
    std::memcpy(values.data() + order.size() * length, value, length);
    order.push_back(uint64_t(address) << 32 | order.size());
}

void TKeyOrder::CheckPending(TPending& pending, std::vector<bool>& seen) {
    // In the order of the records' addresses, so that the data pages are read in order and
    // each once, whatever order the key puts its records in.
    std::sort(pending.order.begin(), pending.order.end());
    for (const uint64_t entry : pending.order)
        Visit(uint32_t(entry >> 32), pending.values.data() + (entry & 0xFFFFFFFFu) * key_.length,
              seen);
    pending.order.clear();
}

void TKeyOrder::Visit(uint32_t address, const uint8_t* value, std::vector<bool>& seen) {
    uint64_t number = 0;
    const uint8_t* slot = store_.LiveSlot(address, &number);
    if (!slot)
        Damaged("index of key " + std::to_string(k_) + " names a record that does not exist");
    if (seen[number]) Damaged("index of key " + std::to_string(k_) + " visits a record twice");
    seen[number] = true;
    if (layout_.compressed)
        store_.KeyValue(address, k_, scratch_.data());
    else
        CopyKey(key_, slot + layout_.slotBase, scratch_.data());
    // The same bytes are the same value in every collation; others may still compare equal.
    if (std::memcmp(value, scratch_.data(), key_.length) != 0 &&
        Compare(value, scratch_.data()) != 0)
        Disagrees(layout_, k_);
}

// Records the index leaves out must have a null key.
void TKeyOrder::CheckCoverage(const std::vector<bool>& seen) {
    for (uint32_t a = store_.First(); a != kNoPointer; a = store_.Next(a)) {
        if (seen[store_.SlotNumber(a)]) continue;
        store_.KeyValue(a, k_, scratch_.data());
        if (!IsNullKey(key_, scratch_.data()))
            Damaged("index of key " + std::to_string(k_) + " misses records");
    }
}

void Disagrees(const TRealLayout& layout, size_t k) {
    if (layout.ownerMarked)
        throw ERealFile(kInvalidOwner, "Not supported: records encrypted under an owner name");
    Damaged("index of key " + std::to_string(k) + " disagrees with a record");
}

}  // namespace recman::real
