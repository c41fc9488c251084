// Settings files edited by hand: any content is read, then a key is written and must read
// back. The input: lengths of a section, a key and a value, those texts, then the file.
#include <string>

#include "platform/exception.h"
#include "platform/ini_file.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::string Trimmed(std::string s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// The text without the characters the form cannot hold in a name or value.
std::string Without(const std::string& text, const char* refused) {
    std::string out;
    for (char c : text)
        if (c != '\0' && std::string(refused).find(c) == std::string::npos) out += c;
    return Trimmed(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3 || size > 65536) return 0;
    static const std::string path = fuzz::ScratchPath("settings.set");
    size_t at = 3;
    auto take = [&](size_t n) {
        n = std::min(n, size - at);
        std::string s(reinterpret_cast<const char*>(data + at), n);
        at += n;
        return s;
    };
    std::string section = take(data[0] % 16), key = take(data[1] % 16), value = take(data[2]);
    fuzz::WriteScratch(path, data + at, size - at);

    // Reads of any content give a value or the default.
    IniReadString(path, section, key, "default");
    IniReadInteger(path, "Config", "CommitPeriod", 1000);
    IniReadInteger(path, section, key, -1);

    section = Without(section, "\r\n]");
    key = Without(key, "\r\n=");
    value = Without(value, "\r\n");
    if (key.empty() || key[0] == ';' || key[0] == '#' || key[0] == '[') return 0;
    try {
        IniWriteString(path, section, key, value);
    } catch (const Exception&) {
        return 0;
    }
    std::string expected = value;
    if (expected.size() >= 2 && (expected[0] == '"' || expected[0] == '\'') &&
        expected.back() == expected[0])
        expected = expected.substr(1, expected.size() - 2);
    if (expected.size() > 2047) expected.resize(2047);
    FUZZ_CHECK(IniReadString(path, section, key, "\x01missing") == expected);
    IniWriteInteger(path, section, "CommitPeriod", -2147483647 - 1);
    FUZZ_CHECK(IniReadInteger(path, section, "CommitPeriod", 0) == -2147483647 - 1);
    return 0;
}
