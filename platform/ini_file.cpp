#include "platform/ini_file.h"
#include "platform/regional.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "platform/replace_file.h"

namespace {

constexpr size_t kMaxValue = 2047;

struct TIniLine {
    std::string text;      // without its line end
    const char* end = "";  // "\n", "\r\n", "\r" or "" for a last line without one
};

std::string Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

bool ReadLines(const std::string& fileName, std::vector<TIniLine>& lines) {
    std::ifstream in(AnsiToUtf8(fileName), std::ios::binary);
    if (!in) return false;
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string data = ss.str();
    // CR LF, LF and a lone CR each end a line.
    size_t pos = 0;
    while (pos < data.size()) {
        const size_t stop = data.find_first_of("\r\n", pos);
        TIniLine line;
        if (stop == std::string::npos) {
            line.text = data.substr(pos);
            pos = data.size();
        } else {
            line.text = data.substr(pos, stop - pos);
            const bool crlf =
                data[stop] == '\r' && stop + 1 < data.size() && data[stop + 1] == '\n';
            line.end = crlf ? "\r\n" : data[stop] == '\r' ? "\r" : "\n";
            pos = stop + (crlf ? 2 : 1);
        }
        lines.push_back(std::move(line));
    }
    return true;
}

// The section name of a "[name]" line, or false when the line is no section header.
bool SectionOf(const std::string& text, std::string& name) {
    const std::string t = Trim(text);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(std::string_view(t).substr(1, close - 1));
    return true;
}

// The key of a "key=value" line, or false for comments, blank lines and other text.
bool KeyOf(const std::string& text, std::string& key, std::string& value) {
    const std::string t = Trim(text);
    if (t.empty() || t[0] == ';' || t[0] == '#') return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(std::string_view(t).substr(0, eq));
    value = Trim(std::string_view(t).substr(eq + 1));
    return !key.empty();
}

// Finds the key's line and the section's extent. section is -1 when the section is missing;
// keyLine is -1 when the key is; lastLine is the section's last key line (or its header).
void Locate(const std::vector<TIniLine>& lines, const std::string& section, const std::string& key,
            int& sectionLine, int& keyLine, int& lastLine) {
    sectionLine = keyLine = lastLine = -1;
    std::string name, k, v;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        if (SectionOf(lines[i].text, name)) {
            if (sectionLine >= 0) return;  // the first matching section only
            if (SameTextIgnoringCase(name, section)) sectionLine = lastLine = i;
            continue;
        }
        if (sectionLine < 0) continue;
        if (KeyOf(lines[i].text, k, v)) {
            lastLine = i;
            if (keyLine < 0 && SameTextIgnoringCase(k, key)) keyLine = i;
        }
    }
}

void WriteAll(const std::string& fileName, const std::vector<TIniLine>& lines) {
    std::string data;
    for (const TIniLine& l : lines) {
        data += l.text;
        data += l.end;
    }
    // The file is replaced whole: a failed write leaves the earlier one as it was.
    const bool ok = ReplaceFileContent(AnsiToUtf8(fileName), data) == 0;
    if (!ok) throw Exception(Format("Unable to write to %s", fileName.c_str()));
}

}  // namespace

std::string IniReadString(const std::string& fileName, const std::string& section,
                          const std::string& key, const std::string& defaultValue) {
    std::vector<TIniLine> lines;
    if (!ReadLines(fileName, lines)) return defaultValue;
    int s, k, last;
    Locate(lines, section, key, s, k, last);
    if (k < 0) return defaultValue;
    std::string name, value;
    KeyOf(lines[k].text, name, value);
    // A value in matching quotes is read without them, as the profile functions do.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > kMaxValue) value.resize(kMaxValue);
    return value;
}

int32_t IniReadInteger(const std::string& fileName, const std::string& section,
                       const std::string& key, int32_t defaultValue) {
    const std::string text = IniReadString(fileName, section, key, std::string());
    if (text.empty()) return defaultValue;
    const char* p = text.c_str();
    bool negative = false;
    if (*p == '-' || *p == '+') negative = *p++ == '-';
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (*p == '\0') return defaultValue;
    int64_t value = 0;
    for (; *p; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else
            return defaultValue;
        value = value * base + digit;
        if (value > 0xFFFFFFFFLL) return defaultValue;
    }
    if (base == 10) {
        if (negative) value = -value;
        if (value < INT32_MIN || value > INT32_MAX) return defaultValue;
        return static_cast<int32_t>(value);
    }
    // Hexadecimal takes all 32 bits: 0xFFFFFFFF is -1.
    // Negated as 32 bits, so -0x80000000 is the smallest integer and nothing overflows.
    const auto bits = static_cast<uint32_t>(value);
    return static_cast<int32_t>(negative ? 0u - bits : bits);
}

void IniWriteString(const std::string& fileName, const std::string& section, const std::string& key,
                    const std::string& value) {
    std::vector<TIniLine> lines;
    ReadLines(fileName, lines);
    const char* lineEnd = "\n";
    for (const TIniLine& l : lines)
        if (*l.end != '\0') {
            lineEnd = l.end;
            break;
        }
    int s, k, last;
    Locate(lines, section, key, s, k, last);
    TIniLine line{key + "=" + value, lineEnd};
    if (k >= 0) {
        line.end = *lines[k].end == '\0' ? lineEnd : lines[k].end;
        lines[k] = line;
    } else if (s >= 0) {
        if (*lines[last].end == '\0') lines[last].end = lineEnd;
        lines.insert(lines.begin() + last + 1, line);
    } else {
        if (!lines.empty() && *lines.back().end == '\0') lines.back().end = lineEnd;
        lines.push_back({"[" + section + "]", lineEnd});
        lines.push_back(line);
    }
    WriteAll(fileName, lines);
}

void IniWriteInteger(const std::string& fileName, const std::string& section,
                     const std::string& key, int32_t value) {
    IniWriteString(fileName, section, key, std::to_string(value));
}
