#include "recman/native_cursor.h"

#include <algorithm>
#include <cstring>

#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"
#include "recman/key_codec.h"

namespace recman {
namespace {

constexpr int kMaxBatch = 256;
// How long a wait lock bias waits for another holder before answering 84 or 85.
constexpr int kLockWaitMs = 10000;

}  // namespace

std::unique_ptr<NativeCursor> NativeCursor::Open(const std::string& path, int8_t mode,
                                                 const std::string& owner, int16_t& status) {
    // A read-only open never writes the file, not even to complete a crashed transaction.
    auto file = NativeFile::Open(path, status, mode != -2);
    if (!file) return nullptr;
    std::unique_ptr<NativeCursor> cursor(new NativeCursor);
    cursor->file_ = std::move(file);
    NativeFile& f = *cursor->file_;
    if (f.OwnerLevel() >= 0 && owner != f.Owner()) {
        // Without the owner name a file whose level allows it opens read-only.
        bool readable = f.OwnerLevel() == 1 || f.OwnerLevel() == 3;
        if (!owner.empty() || !readable) {
            status = kInvalidOwner;
            return nullptr;
        }
        cursor->ownerAccess_ = false;
        cursor->readOnly_ = true;
    }
    if (mode == -2) cursor->readOnly_ = true;
    if (!cursor->readOnly_) f.UseFullCache();
    if (!cursor->lock_.Open(path)) {
        status = kIoError;
        return nullptr;
    }
    bool exclusive = mode == -4;
    if (cursor->lock_.Try(kOpenLockByte, exclusive) != LockFd::Result::kLocked) {
        bool heldExclusive = true;
        cursor->lock_.Held(kOpenLockByte, exclusive, &heldExclusive);
        status = (exclusive && !heldExclusive) ? kIncompatibleMode : kFileLocked;
        return nullptr;
    }
    status = kOk;
    return cursor;
}

void NativeCursor::ReleaseLock(int64_t id) {
    lock_.Release(RecordLockByte(id));
    auto& here = file_->LocksHeldHere();
    if (auto it = here.find(id); it != here.end()) here.erase(it);
}

void NativeCursor::ReleaseLocks() {
    if (singleLock_) ReleaseLock(singleLock_);
    singleLock_ = 0;
    for (int64_t id : multiLocks_) ReleaseLock(id);
    multiLocks_.clear();
}

int16_t NativeCursor::Execute(Request& r) {
    uint16_t op = r.operation;
    // Walks keep their prefetched batch; so do the calls that only report (Get Position,
    // Stat, Version), which a reader makes between two steps of a walk.
    const bool keepsBatch =
        op == kOpGetNext || op == kOpGetPrevious || op == kOpGetNext + kKeyOnlyBias ||
        op == kOpGetPrevious + kKeyOnlyBias || op == kOpStepNext || op == kOpStepPrevious ||
        op == kOpGetPosition || op == kOpStat || op == kOpVersion;
    if (!keepsBatch) batchValid_ = false;
    switch (op) {
        case kOpClose:
            ReleaseLocks();
            return kOk;
        case kOpInsert:
            return Insert(r);
        case kOpUpdate:
            return Update(r);
        case kOpDelete:
            return Delete(r);
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
            return Step(r);
        case kOpUnlock:
            return Unlock(r);
        case kOpSetOwner:
            return SetOwner(r);
        case kOpClearOwner:
            return ClearOwner();
        case kOpGetByPercentage:
            return GetByPercentage(r);
        case kOpFindPercentage:
            return FindPercentage(r);
        case kOpUpdateChunk:
            return UpdateChunk(r);
        default:
            if ((op >= kOpGetEqual && op <= kOpGetLast) ||
                (op >= kOpGetEqual + kKeyOnlyBias && op <= kOpGetLast + kKeyOnlyBias))
                return GetByKey(r);
            return kInvalidOperation;
    }
}

int16_t NativeCursor::CheckLength(uint32_t length) const {
    const FileDef& def = file_->Def();
    if (def.Variable() ? length < def.recordLength : length != def.recordLength)
        return kDataBufferTooShort;
    return kOk;
}

int16_t NativeCursor::CheckKeyRoom(const Request& r, int key) const {
    if (key < 0) return kOk;
    int need = file_->Def().keys[key].Length();
    if (!r.key || r.keyLength < need) return kKeyBufferTooShort;
    return kOk;
}

int16_t NativeCursor::Deliver(Request& r, const std::string& data) const {
    uint32_t room = r.data ? *r.dataLength : 0;
    const FileDef& def = file_->Def();
    if (room >= data.size()) {
        std::memcpy(r.data, data.data(), data.size());
        *r.dataLength = static_cast<uint32_t>(data.size());
        return kOk;
    }
    // A variable-length record gives as much as fits once its fixed part does.
    if (def.Variable() && room >= def.recordLength) {
        std::memcpy(r.data, data.data(), room);
        *r.dataLength = room;
    } else {
        *r.dataLength = 0;
    }
    return kDataBufferTooShort;
}

void NativeCursor::PutKey(Request& r, int key, const std::string& data) const {
    if (key < 0 || !r.key) return;
    auto* out = CallerBytes(r.key);
    const size_t room = r.keyLength > 0 ? static_cast<size_t>(r.keyLength) : 0;
    size_t at = 0;
    for (const auto& s : file_->Def().keys[key].segments) {
        // The segment's bytes as far as the record and the caller's room go, zeros past the
        // record's end.
        const size_t from = s.position - 1u;
        const size_t length = std::min<size_t>(s.length, room - at);
        const size_t present = from < data.size() ? std::min(length, data.size() - from) : 0;
        if (present) std::memcpy(out + at, data.data() + from, present);
        std::memset(out + at + present, 0, length - present);
        at += length;
        if (at == room) break;
    }
}

void NativeCursor::BecomeCurrent(int key, Entry& e, bool record) {
    // The entry is used up: its strings are taken over rather than copied.
    if (key >= 0) {
        logical_ = true;
        key_ = key;
        keyValue_.swap(e.key);
        seq_ = e.seq;
    }
    physical_ = true;
    id_ = e.id;
    current_ = record;
    if (record) data_.swap(e.data);
}

int16_t NativeCursor::CheckFileFree() {
    // While this process writes the file inside its transaction no other can hold it.
    if (file_->InWriteTransaction()) return kOk;
    if (!file_->HoldsTransactionLock() && lock_.Held(kTransactionLockByte, true))
        return kFileLocked;
    return kOk;
}

int16_t NativeCursor::CheckRecordFree(int64_t id) {
    if (lock_.Held(RecordLockByte(id), true)) return kRecordLocked;
    return kOk;
}

int16_t NativeCursor::LockRecord(int64_t id, uint16_t bias) {
    if (bias == 0) return kOk;
    int16_t st = CheckFileFree();
    if (st != kOk) return st;
    bool single = bias == kSingleWaitLock || bias == kSingleNoWaitLock;
    bool wait = bias == kSingleWaitLock || bias == kMultipleWaitLock;
    if (single && !multiLocks_.empty()) return kIncompatibleLockType;
    if (!single && singleLock_) return kIncompatibleLockType;
    if (single ? singleLock_ == id : multiLocks_.count(id) > 0) return kOk;
    // Another block of this process holds it: waiting would never end.
    if (wait && file_->LocksHeldHere().count(id)) wait = false;
    auto result = wait ? lock_.Wait(RecordLockByte(id), true, kLockWaitMs)
                       : lock_.Try(RecordLockByte(id), true);
    if (result == LockFd::Result::kConflict) return kRecordLocked;
    if (result == LockFd::Result::kError) return kIoError;
    if (single) {
        if (singleLock_) ReleaseLock(singleLock_);
        singleLock_ = id;
    } else {
        multiLocks_.insert(id);
    }
    file_->LocksHeldHere().insert(id);
    return kOk;
}

void NativeCursor::DropRecordLocks(int64_t id) {
    if (singleLock_ == id) {
        ReleaseLock(id);
        singleLock_ = 0;
    }
    if (multiLocks_.erase(id)) ReleaseLock(id);
}

int16_t NativeCursor::CheckUnchangedKeys(const std::string& newData) const {
    std::string before, after;
    for (const auto& key : file_->Def().keys) {
        if (key.Modifiable()) continue;
        ExtractKeyImage(key, data_, before);
        ExtractKeyImage(key, newData, after);
        if (before != after) return kNonModifiableKey;
    }
    return kOk;
}

int16_t NativeCursor::Insert(Request& r) {
    if (readOnly_) return kAccessDenied;
    const FileDef& def = file_->Def();
    int key = r.keyNumber;
    if (key >= static_cast<int>(def.keys.size()) || key < -1) {
        if (!def.keys.empty()) return kInvalidKeyNumber;
        key = -1;
    }
    if (!r.data || !r.dataLength) return kDataBufferTooShort;
    if (int16_t st = CheckLength(*r.dataLength)) return st;
    if (int16_t st = CheckKeyRoom(r, key)) return st;
    if (int16_t st = CheckFileFree()) return st;
    std::string data(static_cast<const char*>(r.data), *r.dataLength);
    int64_t id = 0;
    if (int16_t st = file_->Insert(data, id)) return st;
    // Autoincrement values filled in go back to the caller.
    std::memcpy(r.data, data.data(), data.size());
    Entry e;
    e.id = id;
    if (key >= 0) {
        e.data = data;
        const KeyDef& kd = def.keys[key];
        std::string image;
        ExtractKeyImage(kd, data, image);
        if (IsNullKey(kd, image)) {
            logical_ = false;
        } else {
            EncodeKey(kd, def, image, e.key);
            file_->SequenceOf(key, id, e.seq);
            BecomeCurrent(key, e, true);
        }
        PutKey(r, key, data);
    }
    physical_ = true;
    id_ = id;
    current_ = true;
    data_ = std::move(data);
    return kOk;
}

int16_t NativeCursor::Update(Request& r) {
    if (!current_) return kInvalidPositioning;
    if (readOnly_) return kAccessDenied;
    const FileDef& def = file_->Def();
    int key = r.keyNumber;
    if (key >= static_cast<int>(def.keys.size()) || key < -1) {
        if (!def.keys.empty()) return kInvalidKeyNumber;
        key = -1;
    }
    if (!r.data || !r.dataLength) return kDataBufferTooShort;
    if (int16_t st = CheckLength(*r.dataLength)) return st;
    if (int16_t st = CheckKeyRoom(r, key)) return st;
    std::string data(static_cast<const char*>(r.data), *r.dataLength);
    if (int16_t st = CheckUnchangedKeys(data)) return st;
    if (int16_t st = CheckFileFree()) return st;
    if (int16_t st = CheckRecordFree(id_)) return st;
    if (int16_t st = file_->Update(id_, data_, data)) return st;
    data_ = data;
    if (singleLock_ == id_) DropRecordLocks(id_);
    if (key >= 0) {
        // The position follows the record to its new place on the key of reference.
        const KeyDef& kd = def.keys[key];
        std::string image;
        ExtractKeyImage(kd, data, image);
        if (IsNullKey(kd, image)) {
            logical_ = false;
        } else {
            Entry e;
            e.id = id_;
            e.data = data;
            EncodeKey(kd, def, image, e.key);
            file_->SequenceOf(key, id_, e.seq);
            BecomeCurrent(key, e, true);
        }
        PutKey(r, key, data);
    } else {
        FollowChangedKey(data);
    }
    return kOk;
}

void NativeCursor::FollowChangedKey(const std::string& data) {
    if (!logical_) return;
    const FileDef& def = file_->Def();
    const KeyDef& kd = def.keys[key_];
    std::string image;
    ExtractKeyImage(kd, data, image);
    if (!IsNullKey(kd, image)) {
        EncodeKey(kd, def, image, keyValue_);
        file_->SequenceOf(key_, id_, seq_);
    }
}

int16_t NativeCursor::Delete(Request&) {
    if (!current_) return kInvalidPositioning;
    if (readOnly_) return kAccessDenied;
    if (int16_t st = CheckFileFree()) return st;
    if (int16_t st = CheckRecordFree(id_)) return st;
    if (int16_t st = file_->Delete(id_, data_)) return st;
    DropRecordLocks(id_);
    // No current record now, but the neighbours on the key and in the file stay defined.
    current_ = false;
    data_.clear();
    return kOk;
}

int16_t NativeCursor::NextEntry(int key, bool forward, Entry*& entry) {
    entry = nullptr;
    if (batchValid_ && batchKey_ == key && batchForward_ == forward &&
        batchChanges_ == file_->ChangeCount() && batchPos_ < batch_.size()) {
        entry = &batch_[batchPos_++];
        return kOk;
    }
    if (batchValid_ && batchKey_ == key && batchForward_ == forward)
        batchSize_ = std::min(batchSize_ * 2, kMaxBatch);
    else
        batchSize_ = 8;
    Scan scan = forward ? Scan::kNext : Scan::kPrev;
    int64_t from = key < 0 ? id_ : seq_;
    int16_t st = file_->Fetch(key, scan, keyValue_, from, batchSize_, batch_);
    batchValid_ = false;
    if (st != kOk) return st;
    if (batch_.empty()) return kEndOfFile;
    batchValid_ = true;
    batchKey_ = key;
    batchForward_ = forward;
    batchChanges_ = file_->ChangeCount();
    batchPos_ = 1;
    entry = &batch_[0];
    return kOk;
}

int16_t NativeCursor::GetByKey(Request& r) {
    const FileDef& def = file_->Def();
    bool keyOnly = r.operation >= kOpGetEqual + kKeyOnlyBias;
    uint16_t op = keyOnly ? r.operation - kKeyOnlyBias : r.operation;
    int key = r.keyNumber;
    if (key < 0 || key >= static_cast<int>(def.keys.size())) return kInvalidKeyNumber;
    if (int16_t st = CheckKeyRoom(r, key)) return st;
    if (!r.dataLength) return kDataBufferTooShort;
    const KeyDef& kd = def.keys[key];

    Entry* found = nullptr;
    std::vector<Entry>& one = single_;
    if (op == kOpGetNext || op == kOpGetPrevious) {
        if (!logical_) return kInvalidPositioning;
        if (key_ != key) return kDifferentKeyNumber;
        if (int16_t st = NextEntry(key, op == kOpGetNext, found)) return st;
        if (r.lockBias) batchValid_ = false;
    } else {
        std::string value;
        if (op != kOpGetFirst && op != kOpGetLast) {
            std::string image(static_cast<const char*>(r.key), kd.Length());
            EncodeKey(kd, def, image, value);
        }
        Scan scan = Scan::kGe;
        switch (op) {
            case kOpGetEqual:
                scan = Scan::kEq;
                break;
            case kOpGetGreater:
                scan = Scan::kGt;
                break;
            case kOpGetGreaterOrEqual:
                scan = Scan::kGe;
                break;
            case kOpGetLess:
                scan = Scan::kLt;
                break;
            case kOpGetLessOrEqual:
                scan = Scan::kLe;
                break;
            case kOpGetFirst:
                scan = Scan::kFirst;
                break;
            case kOpGetLast:
                scan = Scan::kLast;
                break;
        }
        if (int16_t st = file_->Fetch(key, scan, value, 0, 1, one)) return st;
        if (one.empty() || (op == kOpGetEqual && one[0].key != value))
            return op == kOpGetEqual ? kKeyNotFound : kEndOfFile;
        found = &one[0];
    }
    if (r.lockBias) {
        if (int16_t st = LockRecord(found->id, r.lockBias)) return st;
        // Read again under the lock: the record as it stands now.
        bool exists = false;
        std::string fresh;
        if (file_->ReadRecord(found->id, fresh, exists) == kOk && exists) found->data = fresh;
    }
    BecomeCurrent(key, *found, !keyOnly);
    if (op != kOpGetEqual) PutKey(r, key, keyOnly ? found->data : data_);
    if (keyOnly) return kOk;
    return Deliver(r, data_);
}

namespace {

// s becomes v; most records of a file have one size, and then it is one copy.
void CopyInto(std::string& s, std::string_view v) {
    if (s.size() != v.size()) s.resize(v.size());
    if (!v.empty()) std::memcpy(s.data(), v.data(), v.size());
}

}  // namespace

int16_t NativeCursor::Walk(Request& r, bool step, bool forward, RecordSink& sink) {
    // Locks are taken record by record.
    if (r.lockBias) return kWalkByCalls;
    int key = -1;
    if (step) {
        if (!physical_) return kInvalidPositioning;
    } else {
        key = r.keyNumber;
        if (key < 0 || key >= static_cast<int>(file_->Def().keys.size())) return kInvalidKeyNumber;
        if (int16_t st = CheckKeyRoom(r, key)) return st;
        if (!logical_) return kInvalidPositioning;
        if (key_ != key) return kDifferentKeyNumber;
    }
    // Read straight from the file: what a prefetched batch still held comes again, as fresh.
    batchValid_ = false;
    struct TVisitor : EntryVisitor {
        Entry& last;
        RecordSink& sink;
        bool read = false, stopped = false;
        TVisitor(Entry& l, RecordSink& s) : last(l), sink(s) {}
        bool Visit(const EntryView& e) override {
            read = true;
            // Each entry may be the last: the cursor comes to rest on it.
            last.seq = e.seq;
            last.id = e.id;
            CopyInto(last.data, e.data);
            uint8_t position[4];
            StoreU32(position, static_cast<uint32_t>(e.id));
            stopped = !sink.Take(reinterpret_cast<const uint8_t*>(e.data.data()),
                                 static_cast<uint32_t>(e.data.size()), position);
            return !stopped;
        }
    } visitor(walked_, sink);
    const int16_t st = file_->Walk(key, forward ? Scan::kNext : Scan::kPrev, keyValue_,
                                   key < 0 ? id_ : seq_, visitor);
    if (visitor.read) {
        if (step) {
            logical_ = false;  // Step leaves physical currency only
        } else {
            // The key of the record the walk ended on is the one its index entry holds.
            const KeyDef& kd = file_->Def().keys[key];
            std::string image;
            ExtractKeyImage(kd, walked_.data, image);
            EncodeKey(kd, file_->Def(), image, walked_.key);
        }
        BecomeCurrent(key, walked_, true);
        PutKey(r, key, data_);
    }
    if (st != kOk) return st;
    return visitor.stopped ? kOk : kEndOfFile;
}

int16_t NativeCursor::Step(Request& r) {
    if (!r.dataLength) return kDataBufferTooShort;
    Entry* found = nullptr;
    std::vector<Entry>& one = single_;
    if (r.operation == kOpStepNext || r.operation == kOpStepPrevious) {
        if (!physical_) return kInvalidPositioning;
        if (int16_t st = NextEntry(-1, r.operation == kOpStepNext, found)) return st;
        if (r.lockBias) batchValid_ = false;
    } else {
        Scan scan = r.operation == kOpStepFirst ? Scan::kFirst : Scan::kLast;
        if (int16_t st = file_->Fetch(-1, scan, {}, 0, 1, one)) return st;
        if (one.empty()) return kEndOfFile;
        found = &one[0];
    }
    if (int16_t st = LockRecord(found->id, r.lockBias)) return st;
    logical_ = false;  // Step leaves physical currency only
    BecomeCurrent(-1, *found, true);
    return Deliver(r, data_);
}

int16_t NativeCursor::Stat(Request& r) {
    const FileDef& def = file_->Def();
    uint32_t need = kSpecSize + kSpecSize * def.SegmentCount() +
                    kAcsSize * static_cast<uint32_t>(def.acs.size());
    if (!r.data || !r.dataLength || *r.dataLength < need) return kDataBufferTooShort;
    int64_t records = 0;
    if (int16_t st = file_->Count(-1, records)) return st;
    uint8_t* p = CallerBytes(r.data);
    std::memset(p, 0, need);
    StoreU16(p, def.recordLength);
    StoreU16(p + 2, def.pageSize);
    p[4] = static_cast<uint8_t>(def.keys.size());
    if (r.keyNumber == -1) p[5] = 0x70;  // file version
    StoreU32(p + 6, static_cast<uint32_t>(records));
    StoreU16(p + 10, def.fileFlags);
    uint8_t* s = p + kSpecSize;
    for (size_t k = 0; k < def.keys.size(); ++k) {
        int64_t distinct = 0;
        if (int16_t st = file_->DistinctCount(static_cast<int>(k), distinct)) return st;
        for (const auto& seg : def.keys[k].segments) {
            StoreU16(s, seg.position);
            StoreU16(s + 2, seg.length);
            StoreU16(s + 4, seg.flags);
            StoreU32(s + 6, static_cast<uint32_t>(distinct));
            s[10] = seg.storedType;
            s[11] = seg.nullValue;
            s[14] = seg.keyNumber;
            s[15] = seg.acsNumber;
            s += kSpecSize;
        }
    }
    for (const auto& block : def.acs) {
        std::memcpy(s, block.data(), block.size());
        s += block.size();
    }
    *r.dataLength = need;
    // The key buffer names the file's extension: ours never have one.
    if (r.key && r.keyLength > 0) CallerBytes(r.key)[0] = 0;
    return kOk;
}

int16_t NativeCursor::GetPosition(Request& r) {
    if (!physical_) return kInvalidPositioning;
    if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
    StoreU32(r.data, static_cast<uint32_t>(id_));
    *r.dataLength = 4;
    return kOk;
}

int16_t NativeCursor::GetDirect(Request& r) {
    const FileDef& def = file_->Def();
    int key = r.keyNumber;
    if (key < -1 || key >= static_cast<int>(def.keys.size())) return kInvalidKeyNumber;
    if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
    if (int16_t st = CheckKeyRoom(r, key)) return st;
    Entry e;
    e.id = LoadU32(r.data);
    bool found = false;
    if (e.id == 0) return kInvalidRecordAddress;
    if (int16_t st = file_->ReadRecord(e.id, e.data, found)) return st;
    if (!found) return kInvalidRecordAddress;
    if (key >= 0) {
        const KeyDef& kd = def.keys[key];
        std::string image;
        ExtractKeyImage(kd, e.data, image);
        if (IsNullKey(kd, image)) return kNullKeyPath;
        EncodeKey(kd, def, image, e.key);
        if (int16_t st = file_->SequenceOf(key, e.id, e.seq)) return st;
    }
    if (int16_t st = LockRecord(e.id, r.lockBias)) return st;
    if (key < 0) logical_ = false;
    BecomeCurrent(key, e, true);
    PutKey(r, key, data_);
    return Deliver(r, data_);
}

int16_t NativeCursor::Unlock(Request& r) {
    if (r.keyNumber >= 0) {
        if (!singleLock_) return kLockError;
        ReleaseLock(singleLock_);
        singleLock_ = 0;
        return kOk;
    }
    if (r.keyNumber == -1) {
        if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
        int64_t id = LoadU32(r.data);
        if (!multiLocks_.erase(id)) return kLockError;
        ReleaseLock(id);
        return kOk;
    }
    if (r.keyNumber == -2) {
        for (int64_t id : multiLocks_) ReleaseLock(id);
        multiLocks_.clear();
        return kOk;
    }
    return kLockError;
}

namespace {

// A NUL-terminated name within length bytes.
std::string NameIn(const void* buffer, uint32_t length) {
    if (!buffer) return {};
    const char* p = static_cast<const char*>(buffer);
    return std::string(p, strnlen(p, length));
}

}  // namespace

int16_t NativeCursor::SetOwner(Request& r) {
    if (NativeFile::InTransaction()) return kOperationNotAllowed;
    if (readOnly_) return kAccessDenied;
    if (file_->OwnerLevel() >= 0) return kOwnerAlreadySet;
    if (r.keyNumber < 0 || r.keyNumber > 3) return kInvalidKeyNumber;
    std::string name = NameIn(r.data, r.dataLength ? *r.dataLength : 0);
    std::string again = NameIn(r.key, r.keyLength);
    if (name.empty() || name != again || name.size() > 8 ||
        name.find_first_not_of(' ') == std::string::npos)
        return kInvalidOwner;
    return file_->SetOwner(name, r.keyNumber);
}

int16_t NativeCursor::ClearOwner() {
    if (NativeFile::InTransaction()) return kOperationNotAllowed;
    if (file_->OwnerLevel() < 0) return kOk;
    if (!ownerAccess_) return kInvalidOwner;
    if (readOnly_) return kAccessDenied;
    return file_->ClearOwner();
}

int16_t NativeCursor::GetByPercentage(Request& r) {
    const FileDef& def = file_->Def();
    int key = r.keyNumber;
    if (key < -1 || key >= static_cast<int>(def.keys.size())) return kInvalidKeyNumber;
    if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
    if (int16_t st = CheckKeyRoom(r, key)) return st;
    uint32_t percent = LoadU32(r.data);
    if (percent > 10000) return kInvalidPositioning;
    int64_t total = 0;
    if (int16_t st = file_->Count(key, total)) return st;
    if (total == 0) return kEndOfFile;
    int64_t index = (static_cast<int64_t>(percent) * (total - 1) + 5000) / 10000;
    Entry e;
    bool found = false;
    if (int16_t st = file_->Nth(key, index, e, found)) return st;
    if (!found) return kEndOfFile;
    if (int16_t st = LockRecord(e.id, r.lockBias)) return st;
    if (key < 0) logical_ = false;
    BecomeCurrent(key, e, true);
    PutKey(r, key, data_);
    return Deliver(r, data_);
}

int16_t NativeCursor::FindPercentage(Request& r) {
    const FileDef& def = file_->Def();
    int key = r.keyNumber;
    if (key < -1 || key >= static_cast<int>(def.keys.size())) return kInvalidKeyNumber;
    if (!r.data || !r.dataLength || *r.dataLength < 4) return kDataBufferTooShort;
    if (int16_t st = CheckKeyRoom(r, key)) return st;
    int64_t total = 0, below = 0;
    if (int16_t st = file_->Count(key, total)) return st;
    if (total == 0) return kEndOfFile;
    if (key < 0) {
        int64_t id = LoadU32(r.data);
        std::string data;
        bool found = false;
        if (int16_t st = file_->ReadRecord(id, data, found)) return st;
        if (!found || id == 0) return kInvalidRecordAddress;
        if (int16_t st = file_->CountBelow(-1, {}, id, below)) return st;
    } else {
        const KeyDef& kd = def.keys[key];
        std::string image(static_cast<const char*>(r.key), kd.Length()), value;
        EncodeKey(kd, def, image, value);
        if (int16_t st = file_->CountBelow(key, value, 0, below)) return st;
    }
    int64_t percent = total > 1 ? below * 10000 / (total - 1) : 0;
    StoreU32(r.data, static_cast<uint32_t>(std::min<int64_t>(percent, 10000)));
    *r.dataLength = 4;
    return kOk;
}

}  // namespace recman
