#include "recman/real/key_compare.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "recman/btrieve_codes.h"

namespace recman::real {

namespace {

// The type a key segment without the extended-type flag compares as when it is binary.
constexpr uint8_t kOldBinary = 0xFE;

int Sign(long double d) {
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

// Unsigned little-endian numbers of equal length, compared from the most significant byte.
int CompareUnsigned(const uint8_t* a, const uint8_t* b, uint32_t n) {
    for (uint32_t i = n; i-- > 0;)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

int CompareSigned(const uint8_t* a, const uint8_t* b, uint32_t n) {
    const bool na = a[n - 1] & 0x80, nb = b[n - 1] & 0x80;
    if (na != nb) return na ? -1 : 1;
    return CompareUnsigned(a, b, n);
}

class TText {
  public:
    TText(const TRealLayout& layout, const TRealSegment& seg) {
        if ((seg.flags & kKeyAcs) && seg.acs >= 0)
            table_ = layout.acs[size_t(seg.acs)].table.data();
        else if (seg.flags & kKeyCaseInsensitive)
            noCase_ = true;
    }
    uint8_t operator()(uint8_t c) const {
        if (table_) return table_[c];
        if (noCase_ && c >= 'a' && c <= 'z') return uint8_t(c - 'a' + 'A');
        return c;
    }

  private:
    const uint8_t* table_ = nullptr;
    bool noCase_ = false;
};

int CompareText(const TText& t, const uint8_t* a, uint32_t la, const uint8_t* b, uint32_t lb) {
    const uint32_t n = la < lb ? la : lb;
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t x = t(a[i]), y = t(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

uint32_t ZLength(const uint8_t* p, uint32_t n) {
    const void* z = std::memchr(p, 0, n);
    return z ? uint32_t(static_cast<const uint8_t*>(z) - p) : n;
}

long double FloatValue(const uint8_t* p, uint32_t n) {
    if (n == 4) {
        float f;
        std::memcpy(&f, p, 4);
        return f;
    }
    double d;
    std::memcpy(&d, p, 8);
    return d;
}

// Microsoft binary format: the exponent in the last byte (bias 128, 0 = zero), then the
// sign bit and the mantissa below it.
long double BfloatValue(const uint8_t* p, uint32_t n) {
    const uint8_t exponent = p[n - 1];
    if (exponent == 0) return 0;
    const bool negative = p[n - 2] & 0x80;
    long double mantissa = 0;
    for (uint32_t i = 0; i + 1 < n; ++i) {
        uint8_t byte = p[i];
        if (i + 2 == n) byte = uint8_t(byte | 0x80);
        mantissa = mantissa / 256 + byte;
    }
    mantissa /= 256;  // now in [0.5, 1)
    const long double value = std::ldexp(mantissa, int(exponent) - 128);
    return negative ? -value : value;
}

// Packed BCD with the sign in the last nibble (D negative).
int CompareDecimal(const uint8_t* a, const uint8_t* b, uint32_t n) {
    const bool na = (a[n - 1] & 0x0F) == 0x0D, nb = (b[n - 1] & 0x0F) == 0x0D;
    auto zero = [n](const uint8_t* p) {
        for (uint32_t i = 0; i < n; ++i)
            if ((i + 1 < n ? p[i] : (p[i] >> 4)) != 0) return false;
        return true;
    };
    const bool za = zero(a), zb = zero(b);
    const bool negA = na && !za, negB = nb && !zb;
    if (negA != negB) return negA ? -1 : 1;
    int c = 0;
    for (uint32_t i = 0; i < n && c == 0; ++i) {
        const uint8_t x = i + 1 < n ? a[i] : uint8_t(a[i] >> 4);
        const uint8_t y = i + 1 < n ? b[i] : uint8_t(b[i] >> 4);
        if (x != y) c = x < y ? -1 : 1;
    }
    return negA ? -c : c;
}

uint8_t SegmentType(const TRealSegment& seg) {
    if (seg.flags & kKeyExtended) return seg.type;
    return (seg.flags & kKeyBinary) ? kOldBinary : uint8_t{kString};
}

int CompareSegment(const TRealLayout& layout, const TRealSegment& seg, const uint8_t* a,
                   const uint8_t* b) {
    const uint32_t n = seg.length;
    switch (SegmentType(seg)) {
        case kInteger:
        case kAutoincrement:
        case kCurrency:
            return n == 1 ? CompareUnsigned(a, b, n) : CompareSigned(a, b, n);
        case kUnsignedBinary:
        case kOldBinary:
        case kTime:
        case kTimestamp:
            return CompareUnsigned(a, b, n);
        case kFloat:
            if (n == 4 || n == 8) {
                const long double x = FloatValue(a, n), y = FloatValue(b, n);
                if (!std::isnan(x) && !std::isnan(y)) return Sign(x - y);
            }
            break;
        case kBfloat:
            if (n == 4 || n == 8) return Sign(BfloatValue(a, n) - BfloatValue(b, n));
            break;
        case kDate:
            if (n == 4) {
                const int c = CompareUnsigned(a + 2, b + 2, 2);
                if (c) return c;
                if (a[1] != b[1]) return a[1] < b[1] ? -1 : 1;
                return a[0] == b[0] ? 0 : (a[0] < b[0] ? -1 : 1);
            }
            break;
        case kDecimal:
        case kMoney:
            return CompareDecimal(a, b, n);
        case kLstring: {
            const TText text(layout, seg);
            const uint32_t la = a[0] < n ? a[0] : n - 1, lb = b[0] < n ? b[0] : n - 1;
            return CompareText(text, a + 1, la, b + 1, lb);
        }
        case kZstring:
            return CompareText(TText(layout, seg), a, ZLength(a, n), b, ZLength(b, n));
        default:
            break;
    }
    return CompareText(TText(layout, seg), a, n, b, n);
}

}  // namespace

int CompareKeys(const TRealLayout& layout, const TRealKey& key, const uint8_t* a,
                const uint8_t* b) {
    for (const TRealSegment& seg : key.segments) {
        int c = CompareSegment(layout, seg, a, b);
        if (seg.flags & kKeyDescending) c = -c;
        if (c) return c;
        a += seg.length;
        b += seg.length;
    }
    return 0;
}

TPlainOrder PlainOrderOf(const TRealKey& key) {
    if (key.segments.size() != 1) return TPlainOrder::kGeneral;
    const TRealSegment& seg = key.segments.front();
    if (seg.flags & (kKeyDescending | kKeyAcs | kKeyCaseInsensitive)) return TPlainOrder::kGeneral;
    switch (SegmentType(seg)) {
        case kString:
            return TPlainOrder::kBytes;
        case kInteger:
        case kAutoincrement:
            if (seg.length == 1) return TPlainOrder::kBytes;
            if constexpr (std::endian::native != std::endian::little) return TPlainOrder::kGeneral;
            if (seg.length == 2) return TPlainOrder::kSigned16;
            if (seg.length == 4) return TPlainOrder::kSigned32;
            if (seg.length == 8) return TPlainOrder::kSigned64;
            return TPlainOrder::kGeneral;
        case kUnsignedBinary:
        case kOldBinary:
            return seg.length == 1 ? TPlainOrder::kBytes : TPlainOrder::kGeneral;
        default:
            return TPlainOrder::kGeneral;
    }
}

bool IsNullKey(const TRealKey& key, const uint8_t* keyValue) {
    const bool all = key.flags & kKeyNullAll;
    const bool any = key.flags & kKeyNullAny;
    if (!all && !any) return false;
    bool everySegment = true;
    for (const TRealSegment& seg : key.segments) {
        bool segmentNull = true;
        for (uint32_t i = 0; i < seg.length; ++i)
            if (keyValue[i] != seg.nullValue) segmentNull = false;
        if (any && segmentNull) return true;
        if (!segmentNull) everySegment = false;
        keyValue += seg.length;
    }
    return all && everySegment;
}

}  // namespace recman::real
