#include "platform/codepage.h"

#include <array>
#include <cstdint>

#include "platform/exception.h"
#include "platform/format.h"

namespace {

#include "platform/codepage_tables.inc"

// One code page of the data: its tables to and from CP1251, its Unicode values, and the bytes
// whose character CP1251 lacks (none for 866, whose graphic characters all have a best fit,
// and for 1251, the system's own).
struct TOemPage {
    int CodePage;
    const unsigned char* ToAnsi;
    const unsigned char* FromAnsi;
    const char16_t* ToUnicode;
    const unsigned char* Lost;
};

// Data in CP1251 is taken byte for byte.
constexpr std::array<unsigned char, 256> kIdentity = [] {
    std::array<unsigned char, 256> table{};
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<unsigned char>(i);
    return table;
}();

constexpr TOemPage kOemPages[] = {
    {866, kOemToAnsi, kAnsiToOem, kOemToUnicode, nullptr},
    {437, kOem437ToAnsi, kAnsiToOem437, kOem437ToUnicode, kOem437Lost},
    {850, kOem850ToAnsi, kAnsiToOem850, kOem850ToUnicode, kOem850Lost},
    {852, kOem852ToAnsi, kAnsiToOem852, kOem852ToUnicode, kOem852Lost},
    {1250, kWin1250ToAnsi, kAnsiToWin1250, kWin1250ToUnicode, kWin1250Lost},
    {1251, kIdentity.data(), kIdentity.data(), kAnsiToUnicode, nullptr},
    {1252, kWin1252ToAnsi, kAnsiToWin1252, kWin1252ToUnicode, kWin1252Lost},
};

const TOemPage* gOemPage = &kOemPages[0];

std::string MapBytes(std::string_view text, const unsigned char* table) {
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

void AppendToUtf8(std::string& out, std::string_view text, const char16_t* table) {
    out.reserve(out.size() + text.size() * 2);
    for (char c : text) AppendUtf8(out, table[static_cast<unsigned char>(c)]);
}

std::string ToUtf8(std::string_view text, const char16_t* table) {
    std::string out;
    AppendToUtf8(out, text, table);
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

// Unicode to a code page for the upper half: the byte whose character is cp, or 0 when none is.
unsigned char UpperByteOf(const char16_t* table, char32_t cp) {
    for (int b = 0x80; b < 0x100; ++b)
        if (table[b] == cp) return static_cast<unsigned char>(b);
    return 0;
}

// UTF-8 to a single-byte code page whose lower half is ASCII.
std::string FromUtf8(std::string_view text, const char16_t* table, bool* ok) {
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
            b = UpperByteOf(table, cp);
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

}  // namespace

bool IsSupportedOemCodePage(int cp) {
    for (const TOemPage& page : kOemPages)
        if (page.CodePage == cp) return true;
    return false;
}

void SetOemCodePage(int cp) {
    for (const TOemPage& page : kOemPages) {
        if (page.CodePage == cp) {
            gOemPage = &page;
            return;
        }
    }
    throw Exception(
        Format("Code page %d is not supported (437, 850, 852, 866, 1250, 1251 or 1252)", cp));
}

int OemCodePage() {
    return gOemPage->CodePage;
}

std::string OemToAnsiText(std::string_view text, bool* lost) {
    if (lost && OemTextLosesCharacters(text)) *lost = true;
    return MapBytes(text, gOemPage->ToAnsi);
}

std::string AnsiToOemText(std::string_view text) {
    return MapBytes(text, gOemPage->FromAnsi);
}

const unsigned char* OemToAnsiTable() {
    return gOemPage->ToAnsi;
}

const unsigned char* AnsiToOemTable() {
    return gOemPage->FromAnsi;
}

bool OemTextLosesCharacters(std::string_view text) {
    const unsigned char* lost = gOemPage->Lost;
    if (!lost) return false;
    for (char c : text)
        if (lost[static_cast<unsigned char>(c)]) return true;
    return false;
}

bool OemTextChangesCharacters(std::string_view text) {
    const unsigned char* toAnsi = gOemPage->ToAnsi;
    const char16_t* toUnicode = gOemPage->ToUnicode;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (toUnicode[b] != kAnsiToUnicode[toAnsi[b]]) return true;
    }
    return false;
}

std::string AnsiToUtf8(std::string_view text) {
    return ToUtf8(text, kAnsiToUnicode);
}

void AppendOemUtf8(std::string& out, std::string_view text) {
    AppendToUtf8(out, text, gOemPage->ToUnicode);
}

std::string OemToUtf8(std::string_view text) {
    return ToUtf8(text, gOemPage->ToUnicode);
}

std::string Utf8ToAnsi(std::string_view text, bool* ok) {
    return FromUtf8(text, kAnsiToUnicode, ok);
}

std::string Utf8ToOem(std::string_view text, bool* ok) {
    return FromUtf8(text, gOemPage->ToUnicode, ok);
}
