// Decimal digits of whole numbers written straight into a buffer, two at a time from a table:
// the hot paths of the export write every integer, date and float through here.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace dec {

inline constexpr std::array<char, 200> kPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The two digits of value (0..99) at p; answers the end.
inline char* PutTwo(char* p, uint32_t value) {
    std::memcpy(p, &kPairs[2 * value], 2);
    return p + 2;
}

// The `count` last decimal digits of value, leading zeros included, at p. Thirty-two bits
// divide faster than sixty-four.
template <typename Unsigned>
inline void PutFixed(char* p, int count, Unsigned value) {
    for (; count >= 2; count -= 2, value /= 100)
        PutTwo(p + count - 2, static_cast<uint32_t>(value % 100));
    if (count == 1) *p = static_cast<char>('0' + value % 10);
}

// The eight decimal digits of value (below 10^8), leading zeros included, as the bytes of a
// word in the order they are stored. On a little-endian machine they are computed in the word's
// lanes, without a table or a loop: the lowest lane is stored first, so the leading digits go
// to the low lanes, the four leading and the four last ones in 32-bit lanes, each four as two
// pairs in 16-bit lanes, each pair as two digits in bytes. A lane's small value is divided by
// a product and a shift exact for it (w / 100 = w x 10486 >> 20 below 10^4, w / 10 =
// w x 103 >> 10 below 100).
inline uint64_t EightDigits(uint32_t value) {
    uint64_t digits;
    if constexpr (std::endian::native == std::endian::little) {
        const uint64_t fours = (value / 10000) | (uint64_t{value % 10000} << 32);
        const uint64_t hundreds = ((fours * 10486) >> 20) & 0x0000007F0000007F;
        const uint64_t pairs = ((fours - hundreds * 100) << 16) | hundreds;
        const uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000F;
        digits = ((pairs - tens * 10) << 8) | tens | 0x3030303030303030;
    } else {
        char text[8];
        PutFixed(text, 8, value);
        std::memcpy(&digits, text, sizeof digits);
    }
    return digits;
}

// How many decimal digits value has (1 for 0): from its length in bits, which tells the
// digits to within one, and one power of ten. A guess of 0 (up to 7) is always one digit.
inline int Count(uint64_t value) {
    static constexpr auto kTens = [] {
        std::array<uint64_t, 20> tens{};
        uint64_t ten = 10;
        for (size_t i = 1; i < tens.size(); ++i, ten *= 10) tens[i] = ten;
        return tens;
    }();
    // floor(log10(value)), or one above it
    const auto guess = static_cast<int>((std::bit_width(value | 1) * 1233) >> 12);
    return guess + (value >= kTens[static_cast<size_t>(guess)] ? 1 : 0);
}

// The decimal digits of value without leading zeros at p; answers the end (20 bytes at most).
inline char* PutUnsigned(char* p, uint64_t value) {
    const int count = Count(value);
    if (value <= UINT32_MAX)
        PutFixed(p, count, static_cast<uint32_t>(value));
    else
        PutFixed(p, count, value);
    return p + count;
}

// value with a minus sign when negative at p; answers the end (20 bytes at most).
inline char* PutSigned(char* p, int64_t value) {
    if (value >= 0) return PutUnsigned(p, static_cast<uint64_t>(value));
    *p++ = '-';
    return PutUnsigned(p, 0 - static_cast<uint64_t>(value));
}

}  // namespace dec
