#include "recman/file_spec.h"

#include <algorithm>
#include <set>

#include "recman/btrieve_codes.h"
#include "recman/byte_order.h"

namespace recman {
namespace {

// Flags every segment of one key must share.
constexpr uint16_t kKeyWideFlags =
    kKeyDuplicates | kKeyModifiable | kKeyNullAll | kKeyNullAny | kKeyRepeatDup;

bool LengthAllowed(uint8_t type, uint16_t length) {
    switch (type) {
        case kString:
        case kUnsignedBinary:
        case kNumericSa:
            return length >= 1;
        case kInteger:
            return length == 1 || length == 2 || length == 4 || length == 8;
        case kFloat:
        case kBfloat:
            return length == 4 || length == 8;
        case kDate:
        case kTime:
            return length == 4;
        case kDecimal:
        case kMoney:
            return length >= 1 && length <= 64;
        case kLogical:
            return length == 1 || length == 2;
        case kNumeric:
            return length >= 1 && length <= 255;
        case kLstring:
        case kZstring:
        case kNumericSts:
            return length >= 2;
        case kAutoincrement:
            return length == 2 || length == 4 || length == 8;
        case kCurrency:
        case kTimestamp:
            return length == 8;
        case kNullIndicator:
            return length == 1;
        default:
            return false;
    }
}

bool KnownKeyType(uint8_t type) {
    switch (type) {
        case kString:
        case kInteger:
        case kFloat:
        case kDate:
        case kTime:
        case kDecimal:
        case kMoney:
        case kLogical:
        case kNumeric:
        case kBfloat:
        case kLstring:
        case kZstring:
        case kUnsignedBinary:
        case kAutoincrement:
        case kNumericSts:
        case kNumericSa:
        case kCurrency:
        case kTimestamp:
        case kNullIndicator:
            return true;
        default:
            return false;
    }
}

}  // namespace

int16_t ParseFileSpec(const uint8_t* data, uint32_t length, FileDef& def) {
    def = FileDef{};
    if (!data || length < kSpecSize) return kDataBufferTooShort;
    def.recordLength = LoadU16(data);
    def.pageSize = LoadU16(data + 2);
    int keyCount = LoadU16(data + 4);
    def.fileFlags = LoadU16(data + 10);
    if (def.recordLength < 4) return kInvalidRecordLength;
    if (def.pageSize == 0) def.pageSize = 4096;
    if (def.pageSize % 512 != 0 || def.pageSize > 16384) return kPageSizeError;
    if (keyCount > kMaxSegments) return kInvalidNumberOfKeys;

    uint32_t offset = kSpecSize;
    int segments = 0;
    int acsNeeded = 0;
    for (int k = 0; k < keyCount; ++k) {
        KeyDef key;
        for (;;) {
            if (++segments > kMaxSegments) return kInvalidNumberOfKeys;
            if (offset + kSpecSize > length) return kDataBufferTooShort;
            const uint8_t* p = data + offset;
            offset += kSpecSize;
            KeySegment s;
            s.position = LoadU16(p);
            s.length = LoadU16(p + 2);
            s.flags = LoadU16(p + 4);
            s.storedType = p[10];
            s.nullValue = p[11];
            s.keyNumber = p[14];
            s.acsNumber = p[15];
            if (s.flags & kKeyExtended)
                s.type = s.storedType;
            else
                s.type = (s.flags & kKeyBinary) ? kUnsignedBinary : kString;
            if (!KnownKeyType(s.type)) return kKeyTypeError;
            if (s.length == 0 || !LengthAllowed(s.type, s.length)) return kInvalidKeyLength;
            if (s.position == 0 || s.position + s.length - 1 > def.recordLength)
                return kInvalidKeyPosition;
            if ((s.flags & kKeyNullAll) && (s.flags & kKeyNullAny)) return kInconsistentKeyFlags;
            if (!key.segments.empty() &&
                (key.segments.front().flags & kKeyWideFlags) != (s.flags & kKeyWideFlags))
                return kInconsistentKeyFlags;
            if (s.flags & kKeyAcs) {
                int number = (s.flags & kKeyCaseInsensitive) ? s.acsNumber : 0;
                acsNeeded = std::max(acsNeeded, number + 1);
            }
            bool more = s.flags & kKeySegmented;
            key.segments.push_back(s);
            if (!more) break;
        }
        if (key.Length() > 255) return kInvalidKeyLength;
        bool autoinc = std::any_of(key.segments.begin(), key.segments.end(),
                                   [](const KeySegment& s) { return s.type == kAutoincrement; });
        if (autoinc && (key.segments.size() != 1 || key.Duplicates())) return kInconsistentKeyFlags;
        def.keys.push_back(std::move(key));
    }
    for (int i = 0; i < acsNeeded; ++i) {
        if (offset + kAcsSize > length) return kInvalidAcs;
        std::array<uint8_t, kAcsSize> block;
        std::copy(data + offset, data + offset + kAcsSize, block.begin());
        offset += kAcsSize;
        // Only user-defined maps can be honoured here; locale and ISR orders need the
        // vendor's tables.
        if (block[0] != 0xAC) return kInvalidAcs;
        def.acs.push_back(block);
    }
    if (def.fileFlags & kFileKeyNumbersGiven) {
        std::set<int> numbers;
        for (const auto& key : def.keys) numbers.insert(key.segments.front().keyNumber);
        if (static_cast<int>(numbers.size()) != keyCount ||
            (keyCount > 0 && *numbers.rbegin() != keyCount - 1))
            return kInvalidNumberOfKeys;
        std::stable_sort(def.keys.begin(), def.keys.end(), [](const KeyDef& a, const KeyDef& b) {
            return a.segments.front().keyNumber < b.segments.front().keyNumber;
        });
    }
    return kOk;
}

std::string SerializeFileSpec(const FileDef& def) {
    std::string out(kSpecSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    StoreU16(p, def.recordLength);
    StoreU16(p + 2, def.pageSize);
    StoreU16(p + 4, static_cast<uint16_t>(def.keys.size()));
    StoreU16(p + 10, def.fileFlags);
    for (const auto& key : def.keys) {
        for (const auto& s : key.segments) {
            uint8_t spec[kSpecSize] = {};
            StoreU16(spec, s.position);
            StoreU16(spec + 2, s.length);
            StoreU16(spec + 4, s.flags);
            spec[10] = s.storedType;
            spec[11] = s.nullValue;
            spec[14] = s.keyNumber;
            spec[15] = s.acsNumber;
            out.append(reinterpret_cast<const char*>(spec), kSpecSize);
        }
    }
    for (const auto& block : def.acs)
        out.append(reinterpret_cast<const char*>(block.data()), block.size());
    return out;
}

}  // namespace recman
