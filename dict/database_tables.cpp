#include "dict/database_tables.h"

#include <filesystem>
#include <system_error>

#include "dict/ddf_dictionary.h"
#include "dict/dictionary.h"
#include "dict/dictionary_kind.h"
#include "dict/file_data.h"
#include "platform/codepage.h"
#include "platform/component.h"

namespace fs = std::filesystem;

namespace {

// The entry of folder whose name is name with letters A..Z in any case (the exact name first),
// names in CP1251; empty when there is none.
std::string FindEntry(const std::string& folder, const std::string& name) {
    const fs::path found = FindEntryAnyCase(AnsiToUtf8(folder), AnsiToUtf8(name));
    return found.empty() ? std::string() : folder + "/" + Utf8ToAnsi(found.filename().string());
}

// The parts of a DOS or Unix location, without drive and empty parts; absolute is set when
// it starts at a root.
std::vector<std::string> LocationParts(const std::string& location, bool& absolute) {
    std::string path = location;
    if (path.size() >= 2 && path[1] == ':') path.erase(0, 2);
    absolute = !path.empty() && (path[0] == '\\' || path[0] == '/');
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!part.empty() && part != ".") parts.push_back(part);
            part.clear();
        } else {
            part.push_back(c);
        }
    }
    if (!part.empty() && part != ".") parts.push_back(part);
    return parts;
}

// The table name of a data file named by the own dictionary: its name without extension.
std::string TableNameOfFile(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::vector<TDatabaseTable> ListOwnDictionary(const std::string& dictName,
                                              const std::string& folder) {
    TComponent holder;  // frees the dictionary at the end of the listing
    auto* dictionary = new TBDictionary(&holder);
    dictionary->SetFileName(dictName);
    const std::string self = DictionaryLookupName(dictName);
    std::vector<TDatabaseTable> tables;
    for (const std::string& file : dictionary->ListDataFiles()) {
        if (file == self) continue;  // the dictionary describing itself
        TDatabaseTable table;
        table.Name = TableNameOfFile(file);
        table.DataFile = file;
        table.Path = FindDataFile(folder, file);
        if (table.Path.empty()) table.LeftOut = kNoDataFileText;
        try {
            TFileData data;
            dictionary->LoadFileData(file, data);
            table.Columns = data.Fields ? static_cast<int32_t>(data.Fields->Count()) : 0;
        } catch (const std::exception&) {
            table.Columns = -1;  // the export of the table reports why
        }
        tables.push_back(std::move(table));
    }
    return tables;
}

}  // namespace

std::string FindDataFile(const std::string& folder, const std::string& location, bool* outside) {
    bool absolute = false;
    const std::vector<std::string> parts = LocationParts(location, absolute);
    if (parts.empty()) return "";
    if (!absolute) {
        // A relative location stays inside the folder: ".." climbs back only what it went down.
        int depth = 0;
        for (const std::string& part : parts) {
            depth += part == ".." ? -1 : 1;
            if (depth < 0) {
                if (outside) *outside = true;
                return "";
            }
        }
        std::string path = folder;
        for (const std::string& part : parts) {
            path = part == ".." ? path + "/.." : FindEntry(path, part);
            if (path.empty()) break;
        }
        std::error_code ec;
        if (!path.empty() && fs::is_regular_file(AnsiToUtf8(path), ec)) return path;
    }
    const std::string alone = FindEntry(folder, parts.back());
    std::error_code ec;
    return !alone.empty() && fs::is_regular_file(AnsiToUtf8(alone), ec) ? alone : "";
}

std::string DictionaryFolder(const std::string& dictName) {
    std::error_code ec;
    if (fs::is_directory(AnsiToUtf8(dictName), ec)) return dictName;
    const size_t slash = dictName.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : dictName.substr(0, slash);
}

std::vector<TDatabaseTable> ListDatabaseTables(const std::string& dictName,
                                               const std::string& dataDir) {
    const std::string folder = dataDir.empty() ? DictionaryFolder(dictName) : dataDir;
    if (DictionaryKindOf(dictName) != TDictionaryKind::kDdf)
        return ListOwnDictionary(dictName, folder);
    std::vector<TDatabaseTable> tables;
    for (const TDdfTableInfo& info : ListDdfTables(dictName)) {
        TDatabaseTable table;
        table.Name = info.Name;
        table.DataFile = info.Location;
        table.DictTable = info.Name;
        table.Columns = info.Columns;
        bool outside = false;
        if (!info.Dictionary) table.Path = FindDataFile(folder, info.Location, &outside);
        table.LeftOut = info.Dictionary      ? kDictionaryTableText
                        : outside            ? kOutsideFolderText
                        : table.Path.empty() ? kNoDataFileText
                                             : "";
        tables.push_back(std::move(table));
    }
    return tables;
}
