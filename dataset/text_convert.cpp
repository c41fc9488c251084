#include "dataset/text_convert.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/decimal_digits.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "platform/regional.h"

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

namespace {

// The significant digits of to_chars' scientific text [begin, end) into digits (17 at most),
// its decimal exponent into exp10; answers the digits' count.
int ScientificDigits(const char* begin, const char* end, char* digits, int& exp10) {
    const char* p = begin + (*begin == '-');
    int count = 0;
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.' && count < 17) digits[count++] = *p;
    // The exponent: to_chars writes "e", its sign, then two or three digits.
    exp10 = 0;
    if (end - p < 2) return count;
    const bool negative = p[1] == '-';
    for (p += 2; p < end; ++p) exp10 = exp10 * 10 + (*p - '0');
    if (negative) exp10 = -exp10;
    return count;
}

// The digits of value rounded to fifteen significant ones, from its shortest form, which
// is quick to find. A double has more than fifteen digits of precision, so the value lies
// nearer its shortest form than half a unit of the fifteenth digit: a shortest form of
// fifteen digits or fewer is the rounding, and a longer one rounds the same way unless it
// ends on the half (then the exact value decides, and the answer is false). Not so for a
// subnormal value, which has fewer digits of precision: false.
bool FifteenDigits(double value, char* digits, int& count, int& exp10) {
    if (!std::isnormal(value)) return false;
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    count = ScientificDigits(buf, r.ptr, digits, exp10);
    if (count <= 15) return true;
    if (digits[15] == '5' && (count == 16 || digits[16] == '0')) return false;
    const bool up = digits[15] >= '5';
    count = 15;
    if (!up) return true;
    int i = 14;
    for (; i >= 0 && digits[i] == '9'; --i) digits[i] = '0';
    if (i >= 0) {
        ++digits[i];
    } else {  // 999...9 became 1000...0
        digits[0] = '1';
        ++exp10;
    }
    return true;
}

// Value rounded to fifteen significant digits, as the whole number n of them (10^14 to
// 10^15 - 1) and the decimal exponent of the first, found by scaling value to fifteen digits
// before the point with one exact power of ten. The product is rounded once, by at most half a
// unit in its last place, and its fraction is a whole number of such units, as is the half:
// a fraction other than the half lies on the same side of it as the exact one. Values out of
// the powers' reach answer false.
bool ScaledFifteen(double value, uint64_t& digits, int& exp10) {
    static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const double magnitude = std::fabs(value);
    if (!std::isnormal(magnitude)) return false;
    // The binary exponent, read from the bits: magnitude is 1.f x 2^binary.
    const auto binary = static_cast<int>(std::bit_cast<uint64_t>(magnitude) >> 52) - 1023;
    // The decimal exponent, or one below it: floor(binary x log10(2)) for the exponents of a
    // double.
    int e = (binary * 78913) >> 18;
    double scaled = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int shift = 14 - e;
        if (shift > 22 || shift < -22) return false;
        scaled = shift >= 0 ? magnitude * kTens[shift] : magnitude / kTens[-shift];
        if (scaled < 1e15) break;
        ++e;
    }
    if (!(scaled < 1e15)) return false;
    auto n = static_cast<uint64_t>(scaled);  // exact below 2^53, as is the fraction
    const double fraction = scaled - static_cast<double>(n);
    if (fraction == 0.5) {
        // The product was rounded to the half. What the rounding took off, exact by a fused
        // multiply-add, tells which side of it the exact value lies on; on the half itself the
        // last digit is made even, as printf does.
        const int shift = 14 - e;
        const double ten = kTens[shift >= 0 ? shift : -shift];
        const double off =
            shift >= 0 ? std::fma(magnitude, ten, -scaled) : std::fma(-scaled, ten, magnitude);
        if (off > 0 || (off == 0 && n % 2 == 1)) ++n;
    } else if (fraction > 0.5) {
        ++n;
    }
    if (n == 1000000000000000) {
        n = 100000000000000;
        ++e;
    }
    if (n < 100000000000000 || n >= 1000000000000000) return false;
    digits = n;
    exp10 = e;
    return true;
}

// How many of the last of words' digits (two words of EightDigits, the first ending where the
// second starts) are zeros; the first word holds a digit other than zero.
int TrailingZeroDigits(uint64_t first, uint64_t last) {
    constexpr uint64_t kZeros = 0x3030303030303030;
    // A byte of zero where a digit is '0'; the last digit stored is the word's top byte on a
    // little-endian machine, its bottom byte on a big-endian one.
    const auto zerosAtEnd = [](uint64_t word) {
        return std::endian::native == std::endian::little ? std::countl_zero(word) / 8
                                                          : std::countr_zero(word) / 8;
    };
    if (last != kZeros) return zerosAtEnd(last ^ kZeros);
    return 8 + zerosAtEnd(first ^ kZeros);
}

// n (10^14 to 10^15 - 1) as fifteen significant digits of a number whose first digit has the
// decimal exponent exp10, in the form FloatTextAt writes, without trailing zeros. The digits
// are stored as two whole words and moved into place in the output: up to 32 bytes at p may be
// written.
char* FifteenAt(char* p, uint64_t n, int exp10, bool negative, char separator) {
    // A zero, then the fifteen digits.
    const uint64_t head = dec::EightDigits(static_cast<uint32_t>(n / 100000000));
    const uint64_t tail = dec::EightDigits(static_cast<uint32_t>(n % 100000000));
    const int count = 15 - TrailingZeroDigits(head, tail);
    const auto put = [head, tail](char* at) {
        std::memcpy(at, &head, sizeof head);
        std::memcpy(at + 8, &tail, sizeof tail);
    };
    if (negative) *p++ = '-';
    const int e = exp10 + 1;  // the value is 0.d1d2... x 10^e
    if (e >= -3 && e <= 15) {
        if (e <= 0) {
            // The leading zero lands on the zeros after the point, or on the point's place.
            std::memcpy(p, "0.000", 5);
            put(p + 1 - e);
            p[1] = separator;
            return p + 2 - e + count;
        }
        // The whole part moves one place ahead, over the zero; the point follows it. Digits
        // up to the point past the last that counts are zeros.
        put(p);
        for (int i = 0; i < e; ++i) p[i] = p[i + 1];
        if (e >= count) return p + e;
        p[e] = separator;
        return p + count + 1;
    }
    put(p);
    p[0] = p[1];
    p[1] = separator;
    p += count == 1 ? 1 : count + 1;
    *p++ = 'E';
    return std::to_chars(p, p + 8, e - 1).ptr;
}

// n / 10^kDecimals with every one of its decimals, and a minus sign when negative, at `at`;
// answers the end.
template <int kDecimals, typename Unsigned>
char* DecimalAt(char* at, Unsigned n, bool negative, char separator) {
    constexpr Unsigned kTens = kDecimals == 0   ? 1
                               : kDecimals == 1 ? 10
                               : kDecimals == 2 ? 100
                               : kDecimals == 3 ? 1000
                                                : 10000;
    if (negative) *at++ = '-';
    at = dec::PutUnsigned(at, n / kTens);
    if constexpr (kDecimals > 0) {
        *at++ = separator;
        dec::PutFixed(at, kDecimals, static_cast<uint32_t>(n % kTens));
        at += kDecimals;
    }
    return at;
}

// n / 10^decimals (up to four), computed in the width of Unsigned.
template <typename Unsigned>
char* DecimalOfWidth(char* at, Unsigned n, int decimals, bool negative, char separator) {
    switch (decimals) {
        case 0:
            return DecimalAt<0>(at, n, negative, separator);
        case 1:
            return DecimalAt<1>(at, n, negative, separator);
        case 2:
            return DecimalAt<2>(at, n, negative, separator);
        case 3:
            return DecimalAt<3>(at, n, negative, separator);
        default:
            return DecimalAt<4>(at, n, negative, separator);
    }
}

// The same for n of any size with up to four decimals; thirty-two bits divide faster.
char* DecimalAt(char* at, uint64_t n, int decimals, bool negative, char separator) {
    if (n <= UINT32_MAX)
        return DecimalOfWidth(at, static_cast<uint32_t>(n), decimals, negative, separator);
    return DecimalOfWidth(at, n, decimals, negative, separator);
}

// value is n / 10^k to the last bit for some n below 10^15 and k of at most four, and is
// written as that decimal with the fewest decimals: a double has more than fifteen digits of
// precision, so a decimal of at most fifteen digits that reads back as value is also value
// rounded to fifteen digits. Null for other values.
char* FewDecimalsAt(char* at, double value, char separator) {
    static constexpr double kPowers[] = {1, 10, 100, 1000, 10000};
    const double magnitude = std::fabs(value);
    if (!(magnitude < 1e15)) return nullptr;
    // Such a value times 10^4 lies within two units in the last place of the whole number
    // n x 10^(4-k). Most other values lie far from any whole number and are turned away at
    // once; up from 2^50 the test cannot tell.
    const double tenThousands = magnitude * 1e4;
    if (tenThousands < 0x1p50) {
        const auto whole = static_cast<uint64_t>(tenThousands);
        const double fraction = tenThousands - static_cast<double>(whole);
        if (std::min(fraction, 1 - fraction) > tenThousands * 0x1p-50) return nullptr;
        // The nearest number of ten-thousandths, when it reads back as value, is the decimal:
        // one of at most fifteen digits is the only one that does. Its trailing zeros are the
        // decimals it does without.
        const uint64_t n = whole + (fraction >= 0.5 ? 1 : 0);
        if (n < 1000000000000000 && static_cast<double>(n) / 1e4 == magnitude) {
            if (value < 0) *at++ = '-';
            const uint64_t units = n / 10000;
            const auto rest = static_cast<uint32_t>(n - units * 10000);
            at = dec::PutUnsigned(at, units);
            if (rest == 0) return at;
            // Four decimals, less the zeros they end with (not all four: rest is not 0).
            *at = separator;
            dec::PutTwo(at + 1, rest / 100);
            dec::PutTwo(at + 3, rest % 100);
            at += 5;
            while (at[-1] == '0') --at;
            return at;
        }
    }
    for (int k = 0; k < 5; ++k) {
        const double scaled = magnitude * kPowers[k];
        if (scaled >= 1e15) return nullptr;
        auto n = static_cast<uint64_t>(scaled);  // exact below 2^53, as is the fraction
        if (scaled - static_cast<double>(n) >= 0.5) ++n;
        if (static_cast<double>(n) / kPowers[k] == magnitude)
            return DecimalAt(at, n, k, value < 0, separator);
    }
    return nullptr;
}

}  // namespace

// value is n / 100 to the last bit. Below 10^13 one unit in the last place is under 0.002, so
// no other decimal on the grid of hundredths reads back as value and none with fewer digits
// lies between; fifteen significant digits round to the same grid; and the fixed form is
// never longer than the exponent form.
char* HundredthsAt(char* at, double value, char separator) {
    if (!(std::fabs(value) < 1e13)) return nullptr;
    const double scaled = value * 100;
    const auto hundredths = static_cast<int64_t>(scaled + (scaled < 0 ? -0.5 : 0.5));
    // Whole values (no hundredths) are left to the general forms.
    if (hundredths % 100 == 0 || static_cast<double>(hundredths) / 100 != value) return nullptr;
    const auto magnitude = static_cast<uint64_t>(hundredths < 0 ? -hundredths : hundredths);
    // One decimal when the second is a zero.
    if (magnitude % 10 == 0) return DecimalAt(at, magnitude / 10, 1, hundredths < 0, separator);
    return DecimalAt(at, magnitude, 2, hundredths < 0, separator);
}

bool AppendHundredths(std::string& out, double value, char separator) {
    char buf[kFloatTextRoom];
    const char* end = HundredthsAt(buf, value, separator);
    if (end == nullptr) return false;
    out.append(buf, static_cast<size_t>(end - buf));
    return true;
}

void AppendFloatText(std::string& out, double value, int precision) {
    AppendFloatText(out, value, precision, FormatSettings().DecimalSeparator);
}

void AppendFloatText(std::string& out, double value, int precision, char separator) {
    char buf[kFloatTextRoom];
    out.append(buf, static_cast<size_t>(FloatTextAt(buf, value, precision, separator) - buf));
}

char* FloatTextAt(char* p, double value, int precision, char separator) {
    const auto put = [&p](std::string_view text) {
        std::memcpy(p, text.data(), text.size());
        p += text.size();
    };
    if (std::isnan(value)) {
        put("NAN");
        return p;
    }
    if (std::isinf(value)) {
        put(value < 0 ? "-INF" : "INF");
        return p;
    }
    if (precision < 1) precision = 1;
    if (precision > 17) precision = 17;
    const char sep = separator;
    if (value == 0) {
        *p++ = '0';
        return p;
    }
    // The export writes every float through here, so nothing is allocated.
    if (precision == 15) {
        // Fifteen digits of a whole value or one with up to four decimals are that decimal.
        if (char* end = FewDecimalsAt(p, value, sep)) return end;
        uint64_t n = 0;
        int exp10 = 0;
        if (ScaledFifteen(value, n, exp10)) return FifteenAt(p, n, exp10, value < 0, sep);
    }
    // d.ddd...e[+-]x with precision significant digits, rounded.
    char digits[17];
    int count = 0, exp10 = 0;
    const bool negative = value < 0;
    if (precision != 15 || !FifteenDigits(value, digits, count, exp10)) {
        char buf[48];
        auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific,
                               precision - 1);
        count = ScientificDigits(buf, r.ptr, digits, exp10);
    }
    while (count > 1 && digits[count - 1] == '0') --count;
    const int e = exp10 + 1;  // the value is 0.d1d2... x 10^e
    if (negative) *p++ = '-';
    if (e >= -3 && e <= precision) {
        if (e <= 0) {
            *p++ = '0';
            *p++ = sep;
            for (int i = 0; i < -e; ++i) *p++ = '0';
            put(std::string_view(digits, static_cast<size_t>(count)));
        } else {
            for (int i = 0; i < e; ++i) *p++ = i < count ? digits[i] : '0';
            if (count > e) {
                *p++ = sep;
                put(std::string_view(digits + e, static_cast<size_t>(count - e)));
            }
        }
        return p;
    }
    *p++ = digits[0];
    if (count > 1) {
        *p++ = sep;
        put(std::string_view(digits + 1, static_cast<size_t>(count - 1)));
    }
    *p++ = 'E';
    return std::to_chars(p, p + 8, e - 1).ptr;
}

int64_t TextToInt64(std::string_view text) {
    std::string_view t = Trim(text);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    int64_t value = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || end != t.data() + t.size() || ec == std::errc::invalid_argument)
        throw EConvertError(Format("'%.*s' is not a valid integer value",
                                   static_cast<int>(text.size()), text.data()));
    if (ec == std::errc::result_out_of_range) throw ERangeError("Range check error");
    return value;
}

double TextToFloat(std::string_view text) {
    std::string t(Trim(text));
    const char sep = FormatSettings().DecimalSeparator;
    for (char& c : t)
        if (c == sep) c = '.';
    bool ok = !t.empty();
    for (char c : t)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            ok = false;
    double value = 0;
    if (ok) {
        errno = 0;
        char* end = nullptr;
        value = std::strtod(t.c_str(), &end);
        ok = end == t.c_str() + t.size() && errno != ERANGE;
    }
    if (!ok)
        throw EConvertError(Format("'%.*s' is not a valid floating point value",
                                   static_cast<int>(text.size()), text.data()));
    return value;
}
