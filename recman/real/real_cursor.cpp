#include "recman/real/real_cursor.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "recman/btrieve_codes.h"
#include "recman/real/bytes.h"
#include "recman/real/key_compare.h"
#include "recman/real/real_error.h"

namespace recman::real {

namespace {

constexpr size_t kPointerSize = sizeof(void*);
constexpr uint32_t kStatFileSpec = 16;
constexpr uint32_t kStatKeySpec = 16;
constexpr uint32_t kStatAcs = 265;
constexpr uint16_t kPercentScale = 10000;

void* PointerAt(const uint8_t* p) {
    void* v = nullptr;
    std::memcpy(&v, p, kPointerSize);
    return v;
}

}  // namespace

TRealFile::TRealFile(const std::string& path) : file(path), layout(ReadLayout(file)) {
    store = std::make_unique<TRecordStore>(file, layout);
    indexes.reserve(layout.keys.size());
    for (size_t k = 0; k < layout.keys.size(); ++k) indexes.emplace_back(file, layout, *store, k);
}

int16_t TRealCursor::Execute(Request& r) {
    try {
        const uint16_t op = r.operation;
        if (op >= kOpGetEqual + kKeyOnlyBias && op <= kOpGetLast + kKeyOnlyBias)
            return GetByKey(r, uint16_t(op - kKeyOnlyBias), true);
        switch (op) {
            case kOpClose:
                return kOk;
            case kOpInsert:
            case kOpUpdate:
            case kOpDelete:
            case kOpExtend:
            case kOpSetOwner:
            case kOpClearOwner:
            case kOpCreateIndex:
            case kOpDropIndex:
            case kOpInsertExtended:
            case kOpUpdateChunk:
                return kAccessDenied;
            case kOpGetEqual:
            case kOpGetNext:
            case kOpGetPrevious:
            case kOpGetGreater:
            case kOpGetGreaterOrEqual:
            case kOpGetLess:
            case kOpGetLessOrEqual:
            case kOpGetFirst:
            case kOpGetLast:
                return GetByKey(r, op, false);
            case kOpStat:
                return Stat(r);
            case kOpGetPosition:
                return GetPosition(r);
            case kOpGetDirect:
                return r.keyNumber == kChunkKeyNumber ? GetChunk(r) : GetDirect(r);
            case kOpStepNext:
            case kOpStepFirst:
            case kOpStepLast:
            case kOpStepPrevious:
                return Step(r, op);
            case kOpVersion:
                return Version(r);
            case kOpUnlock:
                return kOk;  // a reader takes no locks, so there is none to release
            case kOpGetByPercentage:
                return GetByPercentage(r);
            case kOpFindPercentage:
                return FindPercentage(r);
            default:
                if (op >= kOpGetNextExtended && op <= kOpStepPreviousExtended)
                    return kOperationNotAllowed;
                return kInvalidOperation;
        }
    } catch (const ERealFile& e) {
        return e.Status;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
}

int TRealCursor::Compare(size_t k, size_t pos, const uint8_t* value) const {
    return CompareKeys(file_->layout, file_->layout.keys[k], file_->indexes[k].Value(pos), value);
}

size_t TRealCursor::Search(size_t k, uint16_t op, const uint8_t* value) const {
    const TKeyOrder& index = file_->indexes[k];
    const size_t n = index.Size();
    if (index.Ordered()) {
        switch (op) {
            case kOpGetEqual: {
                const size_t at = index.Bound(value, false);
                return at < n && Compare(k, at, value) == 0 ? at : n;
            }
            case kOpGetGreater:
                return index.Bound(value, true);
            case kOpGetGreaterOrEqual:
                return index.Bound(value, false);
            case kOpGetLess: {
                const size_t at = index.Bound(value, false);
                return at == 0 ? n : at - 1;
            }
            default: {
                const size_t at = index.Bound(value, true);
                return at == 0 ? n : at - 1;
            }
        }
    }
    // Scan: the nearest qualifying value, the first of equals going up, the last going down.
    const uint16_t length = file_->layout.keys[k].length;
    std::vector<uint8_t> best(length);
    size_t at = n;
    for (size_t i = 0; i < n; ++i) {
        const int c = Compare(k, i, value);
        bool take = false;
        switch (op) {
            case kOpGetEqual:
                if (c == 0) return i;
                break;
            case kOpGetGreater:
            case kOpGetGreaterOrEqual:
                take = (op == kOpGetGreater ? c > 0 : c >= 0) &&
                       (at == n || Compare(k, i, best.data()) < 0);
                break;
            default:
                take = (op == kOpGetLess ? c < 0 : c <= 0) &&
                       (at == n || Compare(k, i, best.data()) >= 0);
                break;
        }
        if (take) {
            at = i;
            std::memcpy(best.data(), index.Value(i), length);
        }
    }
    return at;
}

size_t TRealCursor::Locate(size_t k, uint32_t address) {
    const TKeyOrder& index = file_->indexes[k];
    const size_t n = index.Size();
    if (index.Ordered()) {
        scratch_.resize(file_->layout.keys[k].length);
        file_->store->KeyValue(address, k, scratch_.data());
        for (size_t at = Search(k, kOpGetEqual, scratch_.data());
             at < n && Compare(k, at, scratch_.data()) == 0; ++at)
            if (index.Address(at) == address) return at;
        return n;
    }
    for (size_t at = 0; at < n; ++at)
        if (index.Address(at) == address) return at;
    return n;
}

int16_t TRealCursor::ReadRecord(uint32_t address) {
    try {
        file_->store->Read(address, record_);
    } catch (const ERealFile& e) {
        if (e.Status != kVariablePageError) throw;
        record_.resize(file_->layout.recordLength);  // the fixed part alone
        return kVariablePageError;
    }
    return kOk;
}

int16_t TRealCursor::WalkRecord(uint32_t address, const uint8_t*& bytes, uint32_t& length) {
    if (const uint8_t* in = file_->store->InPlace(address)) {
        bytes = in;
        length = file_->layout.recordLength;
        return kOk;
    }
    const int16_t status = ReadRecord(address);
    bytes = record_.data();
    length = uint32_t(record_.size());
    return status;
}

int16_t TRealCursor::ReturnRecord(Request& r, uint32_t address) {
    if (!r.data || !r.dataLength) return kDataBufferTooShort;
    int16_t status = ReadRecord(address);
    const uint32_t capacity = *r.dataLength;
    if (capacity < file_->layout.recordLength) {
        *r.dataLength = 0;
        return kDataBufferTooShort;
    }
    uint32_t length = uint32_t(record_.size());
    if (length > capacity) {
        length = capacity;
        status = kDataBufferTooShort;
    }
    std::memcpy(r.data, record_.data(), length);
    *r.dataLength = length;
    return status;
}

void TRealCursor::ReturnKey(Request& r, size_t k, size_t pos) {
    const uint16_t length = file_->layout.keys[k].length;
    std::memcpy(r.key, file_->indexes[k].Value(pos), length);
}

int16_t TRealCursor::Land(Request& r, size_t k, size_t pos, bool keyOnly) {
    const uint32_t address = file_->indexes[k].Address(pos);
    int16_t status = kOk;
    if (!keyOnly) {
        status = ReturnRecord(r, address);
        if (status != kOk && status != kDataBufferTooShort && status != kVariablePageError)
            return status;
        if (status == kDataBufferTooShort && *r.dataLength == 0) return status;
    }
    ReturnKey(r, k, pos);
    logical_ = true;
    logicalKey_ = k;
    logicalPos_ = pos;
    physical_ = !keyOnly;
    if (!keyOnly) physicalAddress_ = address;
    return status;
}

int16_t TRealCursor::KeyOf(const Request& r, size_t& k) const {
    const auto& keys = file_->layout.keys;
    if (r.keyNumber < 0 || size_t(r.keyNumber) >= keys.size()) return kInvalidKeyNumber;
    k = size_t(r.keyNumber);
    if (!r.key || r.keyLength < keys[k].length) return kKeyBufferTooShort;
    return kOk;
}

size_t TRealCursor::Beside(size_t n, bool forward) const {
    if (forward) return logicalPos_ + 1;
    return logicalPos_ > 0 ? logicalPos_ - 1 : n;
}

uint32_t TRealCursor::BesideAddress(bool forward) const {
    const TRecordStore& store = *file_->store;
    if (!physical_) return forward ? store.First() : store.Last();
    return forward ? store.Next(physicalAddress_) : store.Previous(physicalAddress_);
}

int16_t TRealCursor::GetByKey(Request& r, uint16_t op, bool keyOnly) {
    const auto& keys = file_->layout.keys;
    size_t k = 0;
    if (const int16_t st = KeyOf(r, k)) return st;
    const size_t n = file_->indexes[k].Size();
    size_t pos = n;
    switch (op) {
        case kOpGetFirst:
            pos = 0;
            break;
        case kOpGetLast:
            pos = n == 0 ? n : n - 1;
            break;
        case kOpGetNext:
        case kOpGetPrevious:
            if (!logical_) return kInvalidPositioning;
            if (logicalKey_ != k) return kDifferentKeyNumber;
            pos = Beside(n, op == kOpGetNext);
            break;
        default: {
            scratch_.assign(static_cast<const uint8_t*>(r.key),
                            static_cast<const uint8_t*>(r.key) + keys[k].length);
            pos = Search(k, op, scratch_.data());
            if (pos >= n) return op == kOpGetEqual ? kKeyNotFound : kEndOfFile;
        }
    }
    if (pos >= n) return kEndOfFile;
    return Land(r, k, pos, keyOnly);
}

int16_t TRealCursor::Walk(Request& r, bool step, bool forward, RecordSink& sink) {
    size_t k = 0;
    if (!step) {
        if (const int16_t st = KeyOf(r, k)) return st;
        if (!logical_) return kInvalidPositioning;
        if (logicalKey_ != k) return kDifferentKeyNumber;
    }
    bool landed = false;
    int16_t status = kOk;
    try {
        status = WalkOn(step ? nullptr : &file_->indexes[k], forward, sink, landed);
    } catch (const ERealFile& e) {
        status = e.Status;
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    if (landed) ReturnKey(r, k, logicalPos_);
    return status;
}

int16_t TRealCursor::WalkOn(const TKeyOrder* index, bool forward, RecordSink& sink, bool& landed) {
    uint8_t position[4];
    for (;;) {
        size_t pos = 0;
        uint32_t address = kNoPointer;
        if (index) {
            pos = Beside(index->Size(), forward);
            if (pos < index->Size()) address = index->Address(pos);
        } else {
            address = BesideAddress(forward);
        }
        if (address == kNoPointer) return kEndOfFile;
        const uint8_t* bytes = nullptr;
        uint32_t length = 0;
        const int16_t status = WalkRecord(address, bytes, length);
        physical_ = true;
        physicalAddress_ = address;
        if (index) {
            logicalPos_ = pos;
            landed = true;
        } else {
            logical_ = false;
        }
        if (status != kOk) return status;
        PutWs32(position, address);
        if (!sink.Take(bytes, length, position)) return kOk;
    }
}

int16_t TRealCursor::Step(Request& r, uint16_t op) {
    const TRecordStore& store = *file_->store;
    uint32_t address = kNoPointer;
    if (op == kOpStepFirst)
        address = store.First();
    else if (op == kOpStepLast)
        address = store.Last();
    else
        address = BesideAddress(op == kOpStepNext);
    if (address == kNoPointer) return kEndOfFile;
    const int16_t status = ReturnRecord(r, address);
    if (status == kDataBufferTooShort && *r.dataLength == 0) return status;
    logical_ = false;
    physical_ = true;
    physicalAddress_ = address;
    return status;
}

int16_t TRealCursor::Stat(Request& r) {
    const TRealLayout& layout = file_->layout;
    size_t segments = 0;
    for (const TRealKey& key : layout.keys) segments += key.segments.size();
    const uint32_t need = uint32_t(kStatFileSpec + kStatKeySpec * segments);
    if (!r.data || !r.dataLength || *r.dataLength < need) return kDataBufferTooShort;
    uint8_t* out = static_cast<uint8_t*>(r.data);
    std::memset(out, 0, need);
    PutLe16(out + 0, layout.recordLength);
    PutLe16(out + 2, uint16_t(layout.pageSize));
    out[4] = uint8_t(layout.keys.size());
    if (r.keyNumber == -1)
        out[5] = uint8_t(((layout.version >> 8) << 4) | ((layout.version >> 4) & 0x0F));
    PutLe32(out + 6, uint32_t(file_->store->Count()));
    PutLe16(out + 10, uint16_t(layout.fileFlags | (layout.variable ? 0x0001 : 0)));
    uint8_t* spec = out + kStatFileSpec;
    for (size_t k = 0; k < layout.keys.size(); ++k) {
        for (const TRealSegment& seg : layout.keys[k].segments) {
            PutLe16(spec + 0, uint16_t(seg.offset + 1));
            PutLe16(spec + 2, seg.length);
            PutLe16(spec + 4, seg.flags);
            PutLe32(spec + 6, layout.keys[k].uniqueCount);
            spec[10] = seg.type;
            spec[11] = seg.nullValue;
            spec[14] = uint8_t(k);
            spec[15] = uint8_t(seg.acs < 0 ? 0 : seg.acs);
            spec += kStatKeySpec;
        }
    }
    uint32_t filled = need;
    for (const TRealAcs& acs : layout.acs) {
        if (*r.dataLength - filled < kStatAcs) break;
        out[filled] = 0xAC;
        std::memcpy(out + filled + 1, acs.name.data(), 8);
        std::memcpy(out + filled + 9, acs.table.data(), 256);
        filled += kStatAcs;
    }
    *r.dataLength = filled;
    if (r.key && r.keyLength > 0) static_cast<uint8_t*>(r.key)[0] = 0;  // not extended
    return kOk;
}

int16_t TRealCursor::GetPosition(Request& r) {
    if (!physical_) return kInvalidPositioning;
    if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
    PutWs32(static_cast<uint8_t*>(r.data), physicalAddress_);
    *r.dataLength = 4;
    return kOk;
}

int16_t TRealCursor::GetDirect(Request& r) {
    if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
    const uint32_t address = Ws32(static_cast<const uint8_t*>(r.data));
    if (!file_->store->IsLive(address)) return kInvalidRecordAddress;
    const auto& keys = file_->layout.keys;
    if (r.keyNumber == -1) {
        const int16_t status = ReturnRecord(r, address);
        if (status == kDataBufferTooShort && *r.dataLength == 0) return status;
        logical_ = false;
        physical_ = true;
        physicalAddress_ = address;
        return status;
    }
    if (r.keyNumber < 0 || size_t(r.keyNumber) >= keys.size()) return kInvalidKeyNumber;
    const size_t k = size_t(r.keyNumber);
    if (!r.key || r.keyLength < keys[k].length) return kKeyBufferTooShort;
    const size_t pos = Locate(k, address);
    if (pos == file_->indexes[k].Size()) return kNullKeyPath;
    return Land(r, k, pos, false);
}

int16_t TRealCursor::GetChunk(Request& r) {
    if (!r.data || !r.dataLength || *r.dataLength < 12) return kInvalidDescriptor;
    const uint32_t capacity = *r.dataLength;
    const uint8_t* in = static_cast<const uint8_t*>(r.data);
    const uint32_t address = Ws32(in);
    const uint32_t sub = Le32(in + 4) & ~(kChunkNextInRecord | kChunkPartsOfKey);
    const bool nextInRecord = Le32(in + 4) & kChunkNextInRecord;
    if (!file_->store->IsLive(address)) return kInvalidRecordAddress;

    // The descriptor is copied first: direct chunks overwrite it.
    std::vector<uint8_t> desc;
    const bool random = sub == kChunkRandomDirect || sub == kChunkRandomIndirect;
    const bool rectangle = sub == kChunkRectDirect || sub == kChunkRectIndirect;
    const bool indirect = sub == kChunkRandomIndirect || sub == kChunkRectIndirect;
    const uint64_t stride = 8 + kPointerSize;
    uint64_t descSize = 0;
    if (random)
        descSize = 12 + stride * Le32(in + 8);
    else if (rectangle)
        descSize = 24 + kPointerSize + (indirect ? 4 : 0);
    else
        return kInvalidDescriptor;
    if (descSize > capacity) return kInvalidDescriptor;
    desc.assign(in, in + descSize);

    if (address != chunkRecordAddress_) {
        chunkRecordAddress_ = 0xFFFFFFFFu;  // a failing read leaves nothing behind
        file_->store->Read(address, chunkRecord_);
        chunkRecordAddress_ = address;
    }
    if (address != chunkAddress_) chunkNext_ = 0;
    chunkAddress_ = address;
    const std::vector<uint8_t>& record = chunkRecord_;
    const uint64_t length = record.size();
    uint8_t* out = static_cast<uint8_t*>(r.data);
    uint64_t delivered = 0;
    int16_t status = kOk;
    // Copies bytes [offset, offset + count) of the record to target, or after what was
    // delivered directly when target is null; false once the offset lies past the end.
    auto deliver = [&](uint64_t offset, uint64_t count, uint8_t* target) {
        if (offset >= length) {
            status = kChunkOffsetTooLong;
            return false;
        }
        count = std::min(count, length - offset);
        if (!target) {
            if (delivered + count > capacity) {
                status = kDataBufferTooShort;
                return false;
            }
            target = out + delivered;
        }
        std::memmove(target, record.data() + offset, count);
        delivered += count;
        chunkNext_ = offset + count;
        return true;
    };
    if (random) {
        const uint32_t chunks = Le32(desc.data() + 8);
        for (uint32_t i = 0; i < chunks; ++i) {
            const uint8_t* entry = desc.data() + 12 + stride * i;
            uint8_t* target = nullptr;
            if (indirect) {
                target = static_cast<uint8_t*>(PointerAt(entry + 8));
                if (!target) return kInvalidDescriptor;
            }
            const uint64_t offset = nextInRecord ? chunkNext_ : Le32(entry);
            if (!deliver(offset, Le32(entry + 4), target)) break;
        }
    } else {
        const uint32_t rows = Le32(desc.data() + 8);
        const uint64_t first = nextInRecord ? chunkNext_ : Le32(desc.data() + 12);
        const uint32_t perRow = Le32(desc.data() + 16);
        const uint32_t distance = Le32(desc.data() + 20);
        uint8_t* base = nullptr;
        uint32_t appDistance = 0;
        if (indirect) {
            base = static_cast<uint8_t*>(PointerAt(desc.data() + 24));
            appDistance = Le32(desc.data() + 24 + kPointerSize);
            if (!base) return kInvalidDescriptor;
        }
        for (uint32_t row = 0; row < rows; ++row) {
            uint8_t* target = indirect ? base + uint64_t(row) * appDistance : nullptr;
            if (!deliver(first + uint64_t(row) * distance, perRow, target)) break;
        }
    }
    *r.dataLength = uint32_t(delivered);
    physical_ = true;
    physicalAddress_ = address;
    return status;
}

int16_t TRealCursor::GetByPercentage(Request& r) {
    if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
    const uint16_t percent = Le16(static_cast<const uint8_t*>(r.data));
    if (percent > kPercentScale) return kInvalidRecordAddress;
    if (r.keyNumber == -1) {
        const uint64_t n = file_->store->Count();
        if (n == 0) return kEndOfFile;
        const uint32_t address =
            file_->store->Nth((uint64_t(percent) * (n - 1) + kPercentScale / 2) / kPercentScale);
        const int16_t status = ReturnRecord(r, address);
        if (status == kDataBufferTooShort && *r.dataLength == 0) return status;
        logical_ = false;
        physical_ = true;
        physicalAddress_ = address;
        return status;
    }
    const auto& keys = file_->layout.keys;
    if (r.keyNumber < 0 || size_t(r.keyNumber) >= keys.size()) return kInvalidKeyNumber;
    const size_t k = size_t(r.keyNumber);
    if (!r.key || r.keyLength < keys[k].length) return kKeyBufferTooShort;
    const size_t n = file_->indexes[k].Size();
    if (n == 0) return kEndOfFile;
    return Land(r, k, (uint64_t(percent) * (n - 1) + kPercentScale / 2) / kPercentScale, false);
}

int16_t TRealCursor::FindPercentage(Request& r) {
    if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
    uint64_t pos = 0, n = 0;
    if (r.keyNumber == -1) {
        const uint32_t address = Ws32(static_cast<const uint8_t*>(r.data));
        if (!file_->store->IsLive(address)) return kInvalidRecordAddress;
        n = file_->store->Count();
        pos = file_->store->PositionOf(address);
    } else {
        const auto& keys = file_->layout.keys;
        if (r.keyNumber < 0 || size_t(r.keyNumber) >= keys.size()) return kInvalidKeyNumber;
        const size_t k = size_t(r.keyNumber);
        if (!r.key || r.keyLength < keys[k].length) return kKeyBufferTooShort;
        n = file_->indexes[k].Size();
        scratch_.assign(static_cast<const uint8_t*>(r.key),
                        static_cast<const uint8_t*>(r.key) + keys[k].length);
        pos = Search(k, kOpGetEqual, scratch_.data());
        if (pos == n) return kKeyNotFound;
    }
    const uint32_t percent =
        n <= 1 ? 0 : uint32_t((uint64_t(pos) * kPercentScale + (n - 1) / 2) / (n - 1));
    PutLe32(static_cast<uint8_t*>(r.data), percent);
    *r.dataLength = 4;
    return kOk;
}

int16_t TRealCursor::Version(Request& r) {
    if (!r.data || !r.dataLength || *r.dataLength < 5) return kDataBufferTooShort;
    // Requester, local engine and server engine, as far as the buffer holds them.
    const uint32_t entries = std::min<uint32_t>(*r.dataLength / 5, 3);
    uint8_t* out = static_cast<uint8_t*>(r.data);
    for (uint32_t i = 0; i < entries; ++i) {
        PutLe16(out + 5 * i, 6);
        PutLe16(out + 5 * i + 2, 15);
        out[5 * i + 4] = 'L';
    }
    *r.dataLength = 5 * entries;
    return kOk;
}

}  // namespace recman::real
