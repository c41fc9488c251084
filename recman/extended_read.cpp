#include "recman/extended_read.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"
#include "recman/file_spec.h"
#include "recman/key_codec.h"

namespace recman {
namespace {

constexpr uint8_t kCaseInsensitive = 32;
constexpr uint8_t kAgainstField = 64;
constexpr uint8_t kAlternateCollation = 128;
// Room for a record read: the fields' end, at least a fixed part of the largest size.
constexpr uint32_t kRecordRoom = 65536;

struct TTerm {
    KeyDef key;  // one segment: the type, length and case rule of the comparison
    uint16_t offset = 0;
    uint16_t otherOffset = 0;  // the field compared against, with kAgainstField
    uint8_t comparison = 0;    // 1..6
    uint8_t connector = 0;     // 0 last, 1 and, 2 or
    bool againstField = false;
    std::string value;
};

struct TExtract {
    uint16_t length = 0;
    uint16_t offset = 0;
};

struct TDescriptor {
    bool includeCurrent = false;
    uint16_t maxReject = 0;
    std::vector<TTerm> terms;
    uint16_t wanted = 0;
    std::vector<TExtract> fields;
    uint32_t extracted = 0;  // bytes of the fields of one record
    uint32_t end = 0;        // the furthest record byte a term or a field reads
};

bool Parse(const uint8_t* p, uint32_t capacity, TDescriptor& d) {
    if (capacity < 4) return false;
    const uint32_t length = LoadU16(p);
    if (length < 4 || length > capacity) return false;
    if (std::memcmp(p + 2, "UC", 2) == 0)
        d.includeCurrent = true;
    else if (std::memcmp(p + 2, "EG", 2) != 0)
        return false;
    uint32_t at = 4;
    const auto has = [&](uint32_t n) { return at + n <= length; };
    if (!has(4)) return false;
    d.maxReject = LoadU16(p + at);
    const uint16_t terms = LoadU16(p + at + 2);
    at += 4;
    for (uint16_t i = 0; i < terms; ++i) {
        if (!has(7)) return false;
        TTerm t;
        KeySegment s;
        s.type = p[at];
        s.length = LoadU16(p + at + 1);
        t.offset = LoadU16(p + at + 3);
        const uint8_t code = p[at + 5];
        t.connector = p[at + 6];
        at += 7;
        t.comparison = code & ~(kCaseInsensitive | kAgainstField | kAlternateCollation);
        if (s.length == 0 || t.comparison < 1 || t.comparison > 6 || (code & kAlternateCollation))
            return false;
        if ((t.connector == 0) != (i + 1 == terms) || t.connector > 2) return false;
        if (code & kCaseInsensitive) s.flags = kKeyCaseInsensitive;
        t.againstField = code & kAgainstField;
        if (t.againstField) {
            if (!has(2)) return false;
            t.otherOffset = LoadU16(p + at);
            at += 2;
            d.end = std::max<uint32_t>(d.end, t.otherOffset + uint32_t{s.length});
        } else {
            if (!has(s.length)) return false;
            t.value.assign(reinterpret_cast<const char*>(p + at), s.length);
            at += s.length;
        }
        d.end = std::max<uint32_t>(d.end, t.offset + uint32_t{s.length});
        t.key.segments.push_back(s);
        d.terms.push_back(std::move(t));
    }
    if (!has(4)) return false;
    d.wanted = LoadU16(p + at);
    const uint16_t fields = LoadU16(p + at + 2);
    at += 4;
    if (d.wanted == 0 || fields == 0) return false;
    for (uint16_t i = 0; i < fields; ++i) {
        if (!has(4)) return false;
        const TExtract f{LoadU16(p + at), LoadU16(p + at + 2)};
        at += 4;
        d.extracted += f.length;
        d.end = std::max<uint32_t>(d.end, f.offset + uint32_t{f.length});
        d.fields.push_back(f);
    }
    return d.extracted <= 0xFFFF;  // the length each record is answered with
}

// Whether the record passes the terms, joined left to right.
class TFilter {
  public:
    explicit TFilter(const TDescriptor& d) : d_(d) {}

    bool Accepts(const uint8_t* record) {
        bool result = true;
        uint8_t connector = 1;
        for (const TTerm& t : d_.terms) {
            const bool holds = Holds(t, record);
            result = connector == 2 ? (result || holds) : (result && holds);
            connector = t.connector;
        }
        return result;
    }

  private:
    bool Holds(const TTerm& t, const uint8_t* record) {
        const auto* bytes = reinterpret_cast<const char*>(record);
        const uint16_t length = t.key.segments.front().length;
        EncodeKey(t.key, file_, std::string_view(bytes + t.offset, length), left_);
        EncodeKey(t.key, file_,
                  t.againstField ? std::string_view(bytes + t.otherOffset, length) : t.value,
                  right_);
        const int order = left_.compare(right_);
        switch (t.comparison) {
            case 1:
                return order == 0;
            case 2:
                return order > 0;
            case 3:
                return order < 0;
            case 4:
                return order != 0;
            case 5:
                return order >= 0;
            default:
                return order <= 0;
        }
    }

    const TDescriptor& d_;
    const FileDef file_;  // no alternate collating sequence: a term asking for one is refused
    std::string left_, right_;
};

// The current record's position (4 bytes) into position.
int16_t PositionOf(Cursor& cursor, const Request& r, uint8_t* position) {
    uint32_t length = 4;
    Request where{kOpGetPosition, 0, position, &length, r.key, r.keyLength, r.keyNumber};
    return cursor.Execute(where);
}

// The current record, for a descriptor that starts with it.
int16_t ReadCurrent(Cursor& cursor, const Request& r, uint8_t* record, uint32_t& length) {
    if (const int16_t st = PositionOf(cursor, r, record)) return st;
    Request direct{kOpGetDirect, r.lockBias, record, &length, r.key, r.keyLength, r.keyNumber};
    return cursor.Execute(direct);
}

// Fills the answer: each record examined is filtered, and one that passes is cut to the
// extracted fields.
class TAnswer : public RecordSink {
  public:
    TAnswer(const TDescriptor& d, uint8_t* buffer) : d_(d), filter_(d), buffer_(buffer) {}

    bool Take(const uint8_t* record, uint32_t length, const uint8_t* position) override {
        if (length < d_.end) {
            status_ = kInvalidFieldOffset;
            return false;
        }
        if (!filter_.Accepts(record)) {
            if (d_.maxReject > 0 && ++rejects_ >= d_.maxReject) {
                status_ = kRejectCountReached;
                return false;
            }
            return true;
        }
        StoreU16(buffer_ + at_, static_cast<uint16_t>(d_.extracted));
        std::memcpy(buffer_ + at_ + 2, position, 4);
        at_ += 6;
        for (const TExtract& f : d_.fields) {
            std::memcpy(buffer_ + at_, record + f.offset, f.length);
            at_ += f.length;
        }
        return ++count_ < d_.wanted;
    }

    // The status of a walk that st ended: the answer's own when Take stopped it.
    int16_t Status(int16_t st) const { return st == kOk ? status_ : st; }
    // Writes the record count; the answer's length.
    uint32_t Close() {
        StoreU16(buffer_, count_);
        return at_;
    }

  private:
    const TDescriptor& d_;
    TFilter filter_;
    uint8_t* buffer_;
    uint32_t at_ = 2;
    uint16_t count_ = 0;
    uint32_t rejects_ = 0;
    int16_t status_ = kOk;
};

// Reads record after record through the cursor's single reads (from the current record
// itself when current), handing each to sink; answers the status that ended the walk.
int16_t WalkByCalls(Cursor& cursor, const Request& r, uint16_t single, uint32_t end, bool current,
                    RecordSink& sink) {
    // Room for a record read, left unfilled: each read writes the bytes the fields are taken
    // from.
    const uint32_t room = std::max(kRecordRoom, end);
    const auto record = std::make_unique_for_overwrite<uint8_t[]>(room);
    for (;; current = false) {
        uint32_t length = room;
        int16_t st;
        if (current) {
            st = ReadCurrent(cursor, r, record.get(), length);
        } else {
            Request get{single, r.lockBias, record.get(), &length, r.key, r.keyLength, r.keyNumber};
            st = cursor.Execute(get);
        }
        // A variable-length record longer than the room: what came holds the fields.
        if (st == kDataBufferTooShort && length >= end) st = kOk;
        uint8_t position[4];
        if (st == kOk) st = PositionOf(cursor, r, position);
        if (st != kOk) return st;
        if (!sink.Take(record.get(), length, position)) return kOk;
    }
}

}  // namespace

int16_t ExtendedRead(Cursor& cursor, Request& r) {
    if (!r.data) {
        *r.dataLength = 0;
        return kInvalidDescriptor;
    }
    uint8_t* buffer = CallerBytes(r.data);
    const uint32_t capacity = *r.dataLength;
    TDescriptor d;
    const bool readable = Parse(buffer, capacity, d);
    if (!readable || 2 + uint64_t{d.wanted} * (6 + d.extracted) > capacity) {
        *r.dataLength = 0;
        return readable ? kDataMessageTooSmall : kInvalidDescriptor;
    }
    const bool forward = r.operation == kOpGetNextExtended || r.operation == kOpStepNextExtended;
    const bool step = r.operation == kOpStepNextExtended || r.operation == kOpStepPreviousExtended;
    const uint16_t single =
        step ? (forward ? kOpStepNext : kOpStepPrevious) : (forward ? kOpGetNext : kOpGetPrevious);
    TAnswer answer(d, buffer);
    int16_t st = kOk;
    bool more = true;
    if (d.includeCurrent) {
        // The current record alone, then on from it.
        struct TOne : RecordSink {
            RecordSink& next;
            bool more = false;
            explicit TOne(RecordSink& n) : next(n) {}
            bool Take(const uint8_t* record, uint32_t length, const uint8_t* position) override {
                more = next.Take(record, length, position);
                return false;
            }
        } one(answer);
        st = WalkByCalls(cursor, r, single, d.end, true, one);
        more = st == kOk && one.more;
    }
    if (more) {
        st = cursor.Walk(r, step, forward, answer);
        if (st == kWalkByCalls) st = WalkByCalls(cursor, r, single, d.end, false, answer);
    }
    st = answer.Status(st);
    *r.dataLength = answer.Close();
    return st;
}

}  // namespace recman
