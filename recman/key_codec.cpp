#include "recman/key_codec.h"

#include <cstdint>
#include <cstring>

namespace recman {
namespace {

using Bytes = const uint8_t*;

// Big-endian copy of a little-endian number, with the sign bit flipped for signed types.
void AppendNumber(Bytes p, int n, bool isSigned, std::string& out) {
    for (int i = n - 1; i >= 0; --i) {
        uint8_t b = p[i];
        if (isSigned && i == n - 1) b ^= 0x80;
        out.push_back(static_cast<char>(b));
    }
}

void AppendFloat(Bytes p, int n, std::string& out) {
    uint8_t be[8];
    for (int i = 0; i < n; ++i) be[i] = p[n - 1 - i];
    bool negative = be[0] & 0x80;
    for (int i = 0; i < n; ++i) {
        uint8_t b = be[i];
        if (negative)
            b = static_cast<uint8_t>(~b);
        else if (i == 0)
            b ^= 0x80;
        out.push_back(static_cast<char>(b));
    }
}

// Sign marker then the digits, nine-complemented when negative, so that digit strings of one
// width compare as numbers.
void AppendDigits(const std::string& digits, bool negative, std::string& out) {
    bool zero = digits.find_first_not_of('\0') == std::string::npos;
    if (zero) negative = false;
    out.push_back(negative ? '\0' : '\1');
    for (char d : digits) out.push_back(static_cast<char>(negative ? 9 - d : d));
}

void AppendDecimal(Bytes p, int n, std::string& out) {
    std::string digits;
    for (int i = 0; i < n; ++i) {
        digits.push_back(static_cast<char>(std::min(9, p[i] >> 4)));
        if (i < n - 1) digits.push_back(static_cast<char>(std::min(9, p[i] & 0x0F)));
    }
    uint8_t sign = p[n - 1] & 0x0F;
    AppendDigits(digits, sign == 0x0D || sign == 0x0B, out);
}

int DigitOf(uint8_t c) {
    return (c >= '0' && c <= '9') ? c - '0' : 0;
}

// ASCII digits with the sign over-punched in the last byte.
void AppendNumeric(Bytes p, int n, std::string& out) {
    std::string digits;
    for (int i = 0; i < n - 1; ++i) digits.push_back(static_cast<char>(DigitOf(p[i])));
    uint8_t last = p[n - 1];
    bool negative = false;
    int digit = 0;
    if (last >= '0' && last <= '9') {
        digit = last - '0';
    } else if (last == '{') {
        digit = 0;
    } else if (last >= 'A' && last <= 'I') {
        digit = last - 'A' + 1;
    } else if (last == '}') {
        negative = true;
    } else if (last >= 'J' && last <= 'R') {
        negative = true;
        digit = last - 'J' + 1;
    } else if (last >= 'p' && last <= 'y') {
        negative = true;
        digit = last - 'p';
    }
    digits.push_back(static_cast<char>(digit));
    AppendDigits(digits, negative, out);
}

void AppendNumericSts(Bytes p, int n, std::string& out) {
    std::string digits;
    for (int i = 0; i < n - 1; ++i) digits.push_back(static_cast<char>(DigitOf(p[i])));
    AppendDigits(digits, p[n - 1] == '-', out);
}

// Microsoft binary format: exponent in the last byte (0 means zero), sign in the top bit of
// the byte before it, mantissa below.
void AppendBfloat(Bytes p, int n, std::string& out) {
    uint8_t exponent = p[n - 1];
    if (exponent == 0) {
        out.push_back('\1');
        out.append(static_cast<size_t>(n), '\0');
        return;
    }
    bool negative = p[n - 2] & 0x80;
    std::string body;
    body.push_back(static_cast<char>(exponent));
    for (int i = n - 2; i >= 0; --i) {
        uint8_t b = p[i];
        if (i == n - 2) b &= 0x7F;
        body.push_back(static_cast<char>(b));
    }
    out.push_back(negative ? '\0' : '\2');
    for (char c : body) out.push_back(negative ? static_cast<char>(~c) : c);
}

class TextMap {
  public:
    TextMap(const KeySegment& s, const FileDef& file) {
        if (s.flags & kKeyAcs) {
            size_t number = (s.flags & kKeyCaseInsensitive) ? s.acsNumber : 0;
            if (number < file.acs.size()) map_ = file.acs[number].data() + 9;
        } else if (s.flags & kKeyCaseInsensitive) {
            upper_ = true;
        }
    }
    char operator()(uint8_t b) const {
        if (map_) return static_cast<char>(map_[b]);
        if (upper_ && b >= 'a' && b <= 'z') return static_cast<char>(b - 'a' + 'A');
        return static_cast<char>(b);
    }

  private:
    const uint8_t* map_ = nullptr;
    bool upper_ = false;
};

void AppendSegment(const KeySegment& s, const FileDef& file, Bytes p, std::string& out) {
    const int n = s.length;
    switch (s.type) {
        case kInteger:
        case kAutoincrement:
        case kCurrency:
            AppendNumber(p, n, true, out);
            break;
        case kUnsignedBinary:
        case kLogical:
        case kTimestamp:
            AppendNumber(p, n, false, out);
            break;
        case kFloat:
            AppendFloat(p, n, out);
            break;
        case kDate:  // day, month, year (16 bits)
            out.push_back(static_cast<char>(p[3]));
            out.push_back(static_cast<char>(p[2]));
            out.push_back(static_cast<char>(p[1]));
            out.push_back(static_cast<char>(p[0]));
            break;
        case kTime:  // hundredths, seconds, minutes, hours
            AppendNumber(p, n, false, out);
            break;
        case kDecimal:
        case kMoney:
            AppendDecimal(p, n, out);
            break;
        case kNumeric:
        case kNumericSa:
            AppendNumeric(p, n, out);
            break;
        case kNumericSts:
            AppendNumericSts(p, n, out);
            break;
        case kBfloat:
            AppendBfloat(p, n, out);
            break;
        case kLstring: {
            // Text zero-padded to a fixed width, then its length: a shorter text that is a
            // prefix of a longer one sorts first, as a comparison of the stated lengths does.
            TextMap map(s, file);
            int len = std::min<int>(p[0], n - 1);
            for (int i = 0; i < n - 1; ++i) out.push_back(i < len ? map(p[1 + i]) : '\0');
            out.push_back(static_cast<char>(len));
            break;
        }
        case kZstring: {
            TextMap map(s, file);
            bool ended = false;
            for (int i = 0; i < n; ++i) {
                if (p[i] == 0) ended = true;
                out.push_back(ended ? '\0' : map(p[i]));
            }
            break;
        }
        default: {
            TextMap map(s, file);
            for (int i = 0; i < n; ++i) out.push_back(map(p[i]));
            break;
        }
    }
}

}  // namespace

void ExtractKeyImage(const KeyDef& key, std::string_view record, std::string& image) {
    image.clear();
    for (const auto& s : key.segments) {
        size_t start = s.position - 1u;
        if (start + s.length <= record.size()) {
            image.append(record.substr(start, s.length));
        } else {
            // Cannot happen for a record that holds its fixed part; padded for safety.
            std::string_view part = start < record.size() ? record.substr(start) : "";
            image.append(part);
            image.append(s.length - part.size(), '\0');
        }
    }
}

void StoreKeyImage(const KeyDef& key, std::string_view image, std::string& record) {
    size_t at = 0;
    for (const auto& s : key.segments) {
        size_t start = s.position - 1u;
        if (start + s.length <= record.size() && at + s.length <= image.size())
            record.replace(start, s.length, image.substr(at, s.length));
        at += s.length;
    }
}

bool IsNullKey(const KeyDef& key, std::string_view image) {
    uint16_t flags = key.Flags();
    if (!(flags & (kKeyNullAll | kKeyNullAny))) return false;
    size_t at = 0;
    bool all = true;
    bool any = false;
    for (const auto& s : key.segments) {
        bool isNull = true;
        for (size_t i = 0; i < s.length; ++i) {
            if (static_cast<uint8_t>(image[at + i]) != s.nullValue) {
                isNull = false;
                break;
            }
        }
        all = all && isNull;
        any = any || isNull;
        at += s.length;
    }
    return (flags & kKeyNullAll) ? all : any;
}

void EncodeKey(const KeyDef& key, const FileDef& file, std::string_view image, std::string& out) {
    out.clear();
    size_t at = 0;
    for (const auto& s : key.segments) {
        size_t start = out.size();
        std::string padded;
        const uint8_t* p;
        if (at + s.length <= image.size()) {
            p = reinterpret_cast<const uint8_t*>(image.data() + at);
        } else {
            padded.assign(image.substr(std::min(at, image.size())));
            padded.resize(s.length, '\0');
            p = reinterpret_cast<const uint8_t*>(padded.data());
        }
        AppendSegment(s, file, p, out);
        if (s.flags & kKeyDescending) {
            for (size_t i = start; i < out.size(); ++i) out[i] = static_cast<char>(~out[i]);
        }
        at += s.length;
    }
}

}  // namespace recman
