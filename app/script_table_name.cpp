#include "app/script_table_name.h"

#include "dict/ddf_dictionary.h"
#include "dict/dictionary_kind.h"
#include "platform/exception.h"
#include "platform/format.h"

namespace {

std::string FileStem(const std::string& path) {
    const size_t cut = path.find_last_of("\\:/");
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

std::string ScriptTableName(const TImpInfo& info) {
    if (!info.ImpTableName.empty()) return info.ImpTableName;
    std::string name;
    if (DictionaryKindOf(info.DictionaryFileName) == TDictionaryKind::kDdf)
        name = DdfTableName(info.DictionaryFileName, info.BaseFileName);
    if (name.empty()) name = FileStem(info.BaseFileName);
    if (name.empty())
        throw Exception(
            Format("No table name for the script: neither the dictionary nor the "
                   "data file name '%s' gives one",
                   info.BaseFileName.c_str()));
    return name;
}
