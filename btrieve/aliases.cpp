#include "btrieve/aliases.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/codepage.h"
#include "platform/ini_file.h"

namespace {

constexpr size_t kMaxAliasName = 30;

TAliasResolver& CurrentResolver() {
    static TAliasResolver resolver = ReadRegistryAlias;
    return resolver;
}

}  // namespace

std::string ExpandAliases(const std::string& source) {
    std::string result;
    size_t i = 0;
    while (i < source.size()) {
        char c = source[i++];
        if (c != '(') {
            result += c;
            continue;
        }
        char d = i < source.size() ? source[i] : '\0';
        ++i;
        if (d != '$') {
            --i;  // d is read again as an ordinary character
            result += '(';
            continue;
        }
        size_t close = source.find(')', i);
        size_t end = close == std::string::npos ? source.size() : close;
        std::string name = source.substr(std::min(i, end), end - std::min(i, end));
        if (name.size() > kMaxAliasName) name.resize(kMaxAliasName);
        result += AliasResolver()(name);
        i = end + 1;
    }
    return result;
}

const TAliasResolver& AliasResolver() {
    return CurrentResolver();
}

TAliasResolver SetAliasResolver(TAliasResolver resolver) {
    TAliasResolver previous = std::move(CurrentResolver());
    CurrentResolver() = resolver ? std::move(resolver) : TAliasResolver(ReadRegistryAlias);
    return previous;
}

std::string AliasStoreFileName() {
    const char* env = std::getenv("QUORVATH_ALIASES");
    // The environment holds UTF-8; the system names files in CP1251.
    if (env != nullptr && *env != '\0') return Utf8ToAnsi(env);
    return "/etc/quorvath/aliases.ini";
}

std::string ReadRegistryAlias(const std::string& name) {
    // The alias with the empty name is the key's default value; the store writes it as "@",
    // the way registry exports name a default value.
    std::string text =
        IniReadString(AliasStoreFileName(), "Aliases", name.empty() ? "@" : name, "");
    // Like a registry string, the text ends at its first NUL character.
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}
