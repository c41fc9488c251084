#include "platform/codepage.h"

#include <array>
#include <cstdint>

namespace {

#include "platform/codepage_tables.inc"

std::string MapBytes(std::string_view text, const unsigned char (&table)[256]) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(table[static_cast<unsigned char>(text[i])]);
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string ToUtf8(std::string_view text, const char16_t (&table)[256]) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) AppendUtf8(out, table[static_cast<unsigned char>(c)]);
    return out;
}

// Reads one UTF-8 sequence at text[i]; advances i. Returns false for a malformed sequence
// (i then stands after its first byte).
bool NextCodePoint(std::string_view text, size_t& i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[i++]);
    if (b0 < 0x80) {
        cp = b0;
        return true;
    }
    int more;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        cp = b0 & 0x1F;
        more = 1;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        cp = b0 & 0x0F;
        more = 2;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        cp = b0 & 0x07;
        more = 3;
        min = 0x10000;
    } else {
        return false;
    }
    size_t j = i;
    for (int k = 0; k < more; ++k, ++j) {
        if (j >= text.size()) return false;
        const auto b = static_cast<unsigned char>(text[j]);
        if ((b & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i = j;
    return true;
}

// Unicode to CP1251 for the upper half: the byte whose character is cp, or 0 when none is.
unsigned char AnsiByteOf(char32_t cp) {
    static const auto reverse = [] {
        std::array<std::pair<char16_t, unsigned char>, 128> r{};
        for (int b = 0x80; b < 0x100; ++b) r[b - 0x80] = {kAnsiToUnicode[b], b};
        return r;
    }();
    for (const auto& [u, b] : reverse)
        if (u == cp) return b;
    return 0;
}

}  // namespace

std::string OemToAnsiText(std::string_view text) {
    return MapBytes(text, kOemToAnsi);
}

std::string AnsiToOemText(std::string_view text) {
    return MapBytes(text, kAnsiToOem);
}

std::string AnsiToUtf8(std::string_view text) {
    return ToUtf8(text, kAnsiToUnicode);
}

std::string OemToUtf8(std::string_view text) {
    return ToUtf8(text, kOemToUnicode);
}

std::string Utf8ToAnsi(std::string_view text, bool* ok) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        unsigned char b = 0;
        if (NextCodePoint(text, i, cp)) {
            if (cp < 0x80) {
                out.push_back(static_cast<char>(cp));
                continue;
            }
            b = AnsiByteOf(cp);
        }
        if (b == 0) {
            out.push_back('?');
            if (ok) *ok = false;
        } else {
            out.push_back(static_cast<char>(b));
        }
    }
    return out;
}
