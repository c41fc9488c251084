#include "dataset/extra_codec.h"

#include <cmath>
#include <cstring>

void AppendDecimalText(std::string& out, bool negative, const std::string& digits, int scale) {
    size_t first = digits.find_first_not_of('0');
    bool zero = first == std::string::npos;
    if (negative && !zero) out += '-';
    const size_t n = digits.size();
    const size_t s = scale > 0 ? static_cast<size_t>(scale) : 0;
    if (n <= s) {
        out += '0';
    } else {
        size_t intEnd = n - s;
        size_t start = zero ? intEnd : std::min(first, intEnd);
        if (start == intEnd)
            out += '0';
        else
            out.append(digits, start, intEnd - start);
    }
    if (s == 0) return;
    out += '.';
    if (n < s) out.append(s - n, '0');
    out.append(digits, n > s ? n - s : 0, std::string::npos);
}

bool DecodePackedDecimal(const uint8_t* bytes, size_t size, int scale, std::string& out) {
    if (size == 0) return false;
    std::string digits;
    digits.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        uint8_t hi = bytes[i] >> 4, lo = bytes[i] & 0x0F;
        if (hi > 9) return false;
        digits += static_cast<char>('0' + hi);
        if (i + 1 < size) {
            if (lo > 9) return false;
            digits += static_cast<char>('0' + lo);
        }
    }
    uint8_t sign = bytes[size - 1] & 0x0F;
    if (sign < 0x0A) return false;
    AppendDecimalText(out, sign == 0x0D || sign == 0x0B, digits, scale);
    return true;
}

bool DecodeNumericText(const uint8_t* bytes, size_t size, int scale, TNumericSign sign,
                       std::string& out) {
    if (size == 0) return false;
    size_t n = size;
    bool negative = false;
    std::string digits;
    digits.reserve(size);
    if (sign == TNumericSign::TrailingSeparate) {
        if (bytes[size - 1] == '-')
            negative = true;
        else if (bytes[size - 1] != '+')
            return false;
        --n;
    }
    bool leading = true;
    for (size_t i = 0; i < n; ++i) {
        uint8_t c = bytes[i];
        if (i + 1 == n && sign != TNumericSign::TrailingSeparate && !(c >= '0' && c <= '9')) {
            if (sign == TNumericSign::Ebcdic) {
                if (c == '{') {
                    c = '0';
                } else if (c >= 'A' && c <= 'I') {
                    c = static_cast<uint8_t>('1' + (c - 'A'));
                } else if (c == '}') {
                    c = '0';
                    negative = true;
                } else if (c >= 'J' && c <= 'R') {
                    c = static_cast<uint8_t>('1' + (c - 'J'));
                    negative = true;
                } else {
                    return false;
                }
            } else if (c >= 'p' && c <= 'y') {
                c = static_cast<uint8_t>('0' + (c - 'p'));
                negative = true;
            } else {
                return false;
            }
        }
        if (c == ' ' && leading) {
            c = '0';
        } else if (c < '0' || c > '9') {
            return false;
        }
        leading = leading && c == '0';
        digits += static_cast<char>(c);
    }
    if (digits.empty()) return false;
    AppendDecimalText(out, negative, digits, scale);
    return true;
}

std::string UInt64Text(const uint8_t* bytes) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | bytes[i];
    return std::to_string(v);
}

double MsBinary4ToDouble(const uint8_t* b) {
    if (b[3] == 0) return 0.0;
    uint32_t mantissa =
        (uint32_t{static_cast<uint8_t>(b[2] | 0x80)} << 16) | (uint32_t{b[1]} << 8) | b[0];
    double v = std::ldexp(static_cast<double>(mantissa), static_cast<int>(b[3]) - 128 - 24);
    return (b[2] & 0x80) ? -v : v;
}

double MsBinary8ToDouble(const uint8_t* b) {
    if (b[7] == 0) return 0.0;
    uint64_t mantissa = uint64_t{static_cast<uint8_t>(b[6] | 0x80)} << 48;
    for (int i = 5; i >= 0; --i) mantissa |= uint64_t{b[i]} << (8 * i);
    double v = std::ldexp(static_cast<double>(mantissa), static_cast<int>(b[7]) - 128 - 56);
    return (b[6] & 0x80) ? -v : v;
}

TDateTime TicksToDateTime(uint64_t ticks) {
    // Day 0 of the date-time value (30 December 1899) is 693593 days after 1 January of year 1.
    constexpr uint64_t kTicksPerDay = 864000000000ULL;
    constexpr double kDaysBefore = 693593.0;
    const double days = static_cast<double>(ticks / kTicksPerDay);
    const double fraction = static_cast<double>(ticks % kTicksPerDay) / kTicksPerDay;
    const double whole = days - kDaysBefore;
    // Before the epoch the fraction still counts forward from midnight: -1.25 is 6:00 of
    // 29 December 1899.
    const double value = whole >= 0 ? whole + fraction : whole - fraction;
    // Far from the epoch the sum may round up to the next midnight (23:59:59.9999999 of
    // 9999-12-31 would become year 10000): the value stays within its own day.
    if (whole >= 0 && value >= whole + 1) return std::nextafter(whole + 1, whole);
    if (whole < 0 && value <= whole - 1) return std::nextafter(whole - 1, whole);
    return value;
}

uint64_t DateTimeToTicks(TDateTime value) {
    constexpr uint64_t kTicksPerDay = 864000000000ULL;
    const double whole = std::trunc(value);
    if (whole + 693593.0 < 0) return 0;
    const auto day = static_cast<uint64_t>(whole + 693593.0);
    auto tick = static_cast<uint64_t>(std::llround(std::fabs(value - whole) * kTicksPerDay));
    if (tick >= kTicksPerDay) tick = kTicksPerDay - 1;
    return day * kTicksPerDay + tick;
}

std::string GuidText(const uint8_t* b) {
    static const char kHex[] = "0123456789ABCDEF";
    static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kHex[b[kOrder[i]] >> 4];
        out += kHex[b[kOrder[i]] & 0x0F];
    }
    out += '}';
    return out;
}

void AppendUtf16AsUtf8(std::string& out, const uint16_t* units, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
}
