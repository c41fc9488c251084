// The cursor's Get Chunk and Update Chunk: pieces of the current record read and written
// through the caller's descriptors (direct, random, random indirect; append, truncate).
#include <algorithm>
#include <cstring>

#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"
#include "recman/native_cursor.h"

namespace recman {
namespace {

constexpr uint32_t kChunkBiases = kChunkNextInRecord | kChunkAppend | kChunkTruncateAfter;

}  // namespace

int16_t NativeCursor::GetChunk(Request& r) {
    if (!r.data || !r.dataLength || *r.dataLength < 12) return kDataBufferTooShort;
    const uint8_t* d = CallerBytes(r.data);
    uint32_t room = *r.dataLength;
    int64_t id = LoadU32(d);
    uint32_t sub = LoadU32(d + 4);
    uint32_t kind = sub & ~kChunkBiases;
    bool nextInRecord = sub & kChunkNextInRecord;
    if (sub & (kChunkAppend | kChunkTruncateAfter)) return kInvalidDescriptor;

    // The pieces asked for: record offset, length, destination (null: the data buffer).
    struct Piece {
        uint64_t offset;
        uint32_t length;
        uint8_t* to;
    };
    std::vector<Piece> pieces;
    uint32_t count = LoadU32(d + 8);
    if (kind == kChunkRandomDirect || kind == kChunkRandomIndirect) {
        uint32_t stride = 8 + kCallerPointerSize;
        if (count == 0 || (room - 12) / stride < count) return kInvalidDescriptor;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* c = d + 12 + i * stride;
            auto* to =
                kind == kChunkRandomIndirect ? CallerBytes(LoadCallerPointer(c + 8)) : nullptr;
            if (kind == kChunkRandomIndirect && !to) return kInvalidDescriptor;
            pieces.push_back({LoadU32(c), LoadU32(c + 4), to});
        }
    } else if (kind == kChunkRectDirect || kind == kChunkRectIndirect) {
        if (room < 28 + kCallerPointerSize) return kInvalidDescriptor;
        uint32_t offset = LoadU32(d + 12), perRow = LoadU32(d + 16), distance = LoadU32(d + 20);
        uint8_t* to = CallerBytes(LoadCallerPointer(d + 24));
        uint32_t appDistance = LoadU32(d + 24 + kCallerPointerSize);
        if (kind == kChunkRectIndirect && !to) return kInvalidDescriptor;
        for (uint32_t i = 0; i < count; ++i)
            pieces.push_back(
                {uint64_t{offset} + uint64_t{i} * distance, perRow,
                 kind == kChunkRectIndirect ? to + uint64_t{i} * appDistance : nullptr});
    } else {
        return kInvalidDescriptor;
    }
    if (id == 0) return kInvalidRecordAddress;
    const std::string* record = nullptr;
    if (int16_t st = file_->SharedRecord(id, record)) return st;
    if (!record) return kInvalidRecordAddress;
    if (int16_t st = LockRecord(id, r.lockBias)) return st;
    const std::string& data = *record;

    uint64_t at = (nextInRecord && chunkId_ == id) ? chunkEnd_ : 0;
    std::string gathered;  // what a direct descriptor returns in the data buffer
    uint32_t delivered = 0;
    int16_t status = kOk;
    for (const Piece& p : pieces) {
        uint64_t offset = nextInRecord ? at : p.offset;
        if (offset >= data.size() && p.length > 0) {
            status = kChunkOffsetTooLong;
            break;
        }
        uint64_t n = std::min<uint64_t>(p.length, data.size() - offset);
        if (p.to)
            std::memcpy(p.to, data.data() + offset, n);
        else
            gathered.append(data, offset, n);
        delivered += static_cast<uint32_t>(n);
        at = offset + n;
        if (n < p.length) break;  // the record ends inside this chunk
    }
    if (!gathered.empty()) {
        if (gathered.size() > room) return kDataBufferTooShort;
        std::memcpy(r.data, gathered.data(), gathered.size());
    }
    *r.dataLength = delivered;
    chunkId_ = id;
    chunkEnd_ = at;
    return status;
}

int16_t NativeCursor::UpdateChunk(Request& r) {
    if (!current_) return kInvalidPositioning;
    if (readOnly_) return kAccessDenied;
    if (!r.data || !r.dataLength || *r.dataLength < 8) return kDataBufferTooShort;
    const FileDef& def = file_->Def();
    const uint8_t* d = CallerBytes(r.data);
    uint32_t room = *r.dataLength;
    uint32_t sub = LoadU32(d);
    uint32_t kind = sub & ~kChunkBiases;
    std::string data = data_;

    if (sub == kChunkTruncate) {
        uint32_t offset = LoadU32(d + 4);
        if (offset > data.size()) return kChunkOffsetTooLong;
        if (offset < def.recordLength) return kDataBufferTooShort;
        data.resize(offset);
    } else {
        bool append = sub & kChunkAppend;
        bool nextInRecord = sub & kChunkNextInRecord;
        if (append && nextInRecord) return kInvalidDescriptor;
        struct Piece {
            uint64_t offset;
            uint32_t length;
            const uint8_t* from;
        };
        std::vector<Piece> pieces;
        uint32_t count = LoadU32(d + 4);
        uint64_t inline_at = 0;
        if (kind == kChunkRandomDirect || kind == kChunkRandomIndirect) {
            uint32_t stride = 8 + kCallerPointerSize;
            if (count == 0 || (room - 8) / stride < count) return kInvalidDescriptor;
            inline_at = 8 + uint64_t{count} * stride;
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* c = d + 8 + i * stride;
                const uint8_t* from = nullptr;
                uint32_t length = LoadU32(c + 4);
                if (kind == kChunkRandomIndirect) {
                    from = CallerBytes(LoadCallerPointer(c + 8));
                    if (!from) return kInvalidDescriptor;
                } else {
                    if (inline_at + length > room) return kDataBufferTooShort;
                    from = d + inline_at;
                    inline_at += length;
                }
                pieces.push_back({LoadU32(c), length, from});
            }
        } else if (kind == kChunkRectDirect || kind == kChunkRectIndirect) {
            if (room < 24 + kCallerPointerSize) return kInvalidDescriptor;
            uint32_t offset = LoadU32(d + 8), perRow = LoadU32(d + 12), distance = LoadU32(d + 16);
            const uint8_t* src = CallerBytes(LoadCallerPointer(d + 20));
            uint32_t appDistance = LoadU32(d + 20 + kCallerPointerSize);
            inline_at = 24 + kCallerPointerSize;
            for (uint32_t i = 0; i < count; ++i) {
                const uint8_t* from;
                if (kind == kChunkRectIndirect) {
                    if (!src) return kInvalidDescriptor;
                    from = src + uint64_t{i} * appDistance;
                } else {
                    if (inline_at + perRow > room) return kDataBufferTooShort;
                    from = d + inline_at;
                    inline_at += perRow;
                }
                pieces.push_back({uint64_t{offset} + uint64_t{i} * distance, perRow, from});
            }
        } else {
            return kInvalidDescriptor;
        }
        uint64_t at = chunkId_ == id_ ? chunkEnd_ : 0;
        for (const Piece& p : pieces) {
            uint64_t offset = append ? data.size() : nextInRecord ? at : p.offset;
            if (offset > data.size()) return kChunkOffsetTooLong;
            uint64_t end = offset + p.length;
            if (end > data.size()) {
                if (!def.Variable()) return kChunkOffsetTooLong;
                data.resize(end);
            }
            std::memcpy(data.data() + offset, p.from, p.length);
            at = end;
        }
        if (sub & kChunkTruncateAfter) data.resize(std::max<uint64_t>(at, def.recordLength));
        chunkId_ = id_;
        chunkEnd_ = at;
    }
    if (int16_t st = CheckUnchangedKeys(data)) return st;
    if (int16_t st = CheckFileFree()) return st;
    if (int16_t st = CheckRecordFree(id_)) return st;
    if (int16_t st = file_->Update(id_, data_, data)) return st;
    data_ = data;
    FollowChangedKey(data);
    return kOk;
}

}  // namespace recman
