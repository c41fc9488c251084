#include "dict/dictionary_kind.h"

#include <system_error>

#include "dict/ddf_dictionary.h"
#include "dict/file_data.h"

namespace fs = std::filesystem;

TDictionaryKind DictionaryKindOf(const std::string& dictName) {
    if (dictName.empty()) return TDictionaryKind::kNone;
    if (IsV2DdfFolder(dictName)) return TDictionaryKind::kLaterDdf;
    if (IsDdfDictionary(dictName)) return TDictionaryKind::kDdf;
    return TDictionaryKind::kOwn;
}

fs::path FindEntryAnyCase(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    if (fs::exists(folder / name, ec)) return folder / name;
    const std::string wanted = UpperCaseAZ(name);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (UpperCaseAZ(it->path().filename().string()) == wanted) return it->path();
    return {};
}
