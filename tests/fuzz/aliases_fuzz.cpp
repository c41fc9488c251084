// File names with alias references "($NAME)": every text expands, names are cut to 30
// characters, and alias texts are never expanded again.
#include <string>

#include "btrieve/aliases.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    static const bool installed = [] {
        // An alias text holding a reference of its own shows whether it was expanded again.
        SetAliasResolver([](const std::string& name) {
            FUZZ_CHECK(name.size() <= 30);
            return name.empty() ? std::string() : "<($" + name + ")>";
        });
        return true;
    }();
    (void)installed;
    const std::string source(reinterpret_cast<const char*>(data), size);
    const std::string expanded = ExpandAliases(source);
    if (source.find("($") == std::string::npos) FUZZ_CHECK(expanded == source);
    return 0;
}
