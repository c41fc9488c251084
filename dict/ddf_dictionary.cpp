#include "dict/ddf_dictionary.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <system_error>

#include "btrieve/aliases.h"
#include "btrieve/btr_file.h"
#include "dict/column_layout.h"
#include "dict/dict_warnings.h"
#include "dict/dictionary.h"
#include "dict/dictionary_kind.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kTableDictionary = 0x10, kTableTrueNulls = 0x40;
constexpr uint16_t kFieldNullable = 0x0004;
constexpr int kIndexNameRow = 255, kConstraintNameRow = 227;

struct TDdfTable {
    int32_t Id = 0;
    std::string Name;      // CP1251
    std::string Location;  // CP1251
    uint8_t Flags = 0;
};

struct TDdfField {
    int32_t Id = 0, File = 0;
    std::string Name;      // CP1251
    std::string Utf8Name;  // as TBField::Utf8Name
    int32_t Type = 0, Offset = 0, Size = 0, Dec = 0;
    uint16_t Flags = 0;
};

struct TDdfIndex {
    int32_t File = 0, Field = 0, Number = 0, Part = 0;
};

// The three files of a dictionary, as names the operating system takes (UTF-8).
struct TDdfFiles {
    std::string File, Field, Index;
};

uint16_t U16(const std::string& r, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(r[at]) |
                                 (static_cast<uint8_t>(r[at + 1]) << 8));
}

// A blank-padded OEM name: up to the first zero byte, trailing blanks trimmed, in CP1251;
// utf8, when given, gets it in UTF-8 if CP1251 lacks some of its letters.
std::string NameText(const std::string& r, size_t at, size_t size, std::string* utf8 = nullptr) {
    size_t n = 0;
    while (n < size && r[at + n] != '\0') ++n;
    while (n > 0 && r[at + n - 1] == ' ') --n;
    const std::string_view oem(r.data() + at, n);
    bool lost = false;
    std::string ansi = OemToAnsiText(oem, &lost);
    // A name CP1251 shows otherwise (a lost letter, or a look-alike: CP866 "√" as "v") keeps
    // its own letters for a UTF-8 script.
    if (utf8) *utf8 = lost || OemTextChangesCharacters(oem) ? OemToUtf8(oem) : std::string();
    return ansi;
}

// Letter case folded for matching CP1251 names: Latin and Cyrillic letters to lower case.
std::string Folded(std::string text) {
    for (char& ch : text) {
        auto c = static_cast<uint8_t>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF))
            ch = static_cast<char>(c + 0x20);
        else if (c == 0xA8)
            ch = static_cast<char>(0xB8);
    }
    return text;
}

std::string BaseNameOf(const std::string& location) {
    size_t cut = location.find_last_of("\\:/");
    return cut == std::string::npos ? location : location.substr(cut + 1);
}

// The entry of folder whose name is name in any letter case, or "".
std::string FindEntry(const fs::path& folder, const std::string& name) {
    return FindEntryAnyCase(folder, name).string();
}

// The files of the dictionary at path (CP1251); false when it is none.
bool FindDdfFiles(const std::string& path, TDdfFiles& files) {
    const fs::path os(AnsiToUtf8(ExpandAliases(path)));
    std::error_code ec;
    fs::path folder;
    if (fs::is_directory(os, ec)) {
        folder = os;
        files.File = FindEntry(folder, "FILE.DDF");
    } else if (UpperCaseAZ(os.filename().string()) == "FILE.DDF" && fs::is_regular_file(os, ec)) {
        folder = os.has_parent_path() ? os.parent_path() : fs::path(".");
        files.File = os.string();
    } else {
        return false;
    }
    files.Field = FindEntry(folder, "FIELD.DDF");
    files.Index = FindEntry(folder, "INDEX.DDF");
    return !files.File.empty() && !files.Field.empty();
}

// Every record of a dictionary file in physical order; raises EBtrieve for one whose records
// are shorter than minLength ("Неверная структура словаря").
std::vector<std::string> ReadRows(const std::string& osName, uint16_t minLength) {
    TBtrieveFile file;
    file.SetFileName(Utf8ToAnsi(osName));
    file.SetReadOnly(true);
    file.SetActive(true);
    if (!file.Active())
        throw EBtrieve(file.Status(), recman::kOpOpen, file.FileName(), file.ErrorDetail());
    if (file.RecordLength() < minLength) throw EBtrieve(BadDictionaryStructureText());
    std::string record(file.RecordLength(), '\0');
    file.BtrSetData(record.data(), file.RecordLength());
    std::vector<std::string> rows;
    file.BtrExec(recman::kOpStepFirst);
    while (file.Status() == recman::kOk) {
        rows.push_back(record);
        std::fill(record.begin(), record.end(), '\0');
        file.BtrExec(recman::kOpStepNext);
    }
    return rows;
}

std::vector<TDdfTable> ReadTables(const std::string& osName) {
    std::vector<TDdfTable> tables;
    for (const std::string& r : ReadRows(osName, 87)) {
        TDdfTable t;
        t.Id = U16(r, 0);
        t.Name = NameText(r, 2, 20);
        t.Location = NameText(r, 22, 64);
        t.Flags = static_cast<uint8_t>(r[86]);
        tables.push_back(std::move(t));
    }
    std::stable_sort(tables.begin(), tables.end(),
                     [](const TDdfTable& a, const TDdfTable& b) { return a.Id < b.Id; });
    return tables;
}

// True when the table list describes itself: a row X$File marked as a dictionary file.
bool SelfDescribed(const std::vector<TDdfTable>& tables) {
    return std::any_of(tables.begin(), tables.end(), [](const TDdfTable& t) {
        return Folded(t.Name) == "x$file" && (t.Flags & kTableDictionary);
    });
}

std::vector<TDdfField> ReadFields(const std::string& osName) {
    std::vector<TDdfField> fields;
    for (const std::string& r : ReadRows(osName, 32)) {
        TDdfField f;
        f.Id = U16(r, 0);
        f.File = U16(r, 2);
        f.Name = NameText(r, 4, 20, &f.Utf8Name);
        f.Type = static_cast<uint8_t>(r[24]);
        f.Offset = U16(r, 25);
        f.Size = U16(r, 27);
        f.Dec = static_cast<uint8_t>(r[29]);
        f.Flags = U16(r, 30);
        fields.push_back(std::move(f));
    }
    return fields;
}

std::vector<TDdfIndex> ReadIndexes(const std::string& osName) {
    std::vector<TDdfIndex> rows;
    if (osName.empty()) return rows;
    for (const std::string& r : ReadRows(osName, 10))
        rows.push_back(TDdfIndex{U16(r, 0), U16(r, 2), U16(r, 4), U16(r, 6)});
    return rows;
}

// The dictionary's own description of X$Field must place the columns where they are read.
void CheckFieldLayout(const std::vector<TDdfTable>& tables, const std::vector<TDdfField>& fields) {
    int32_t fieldTable = -1;
    for (const TDdfTable& t : tables)
        if (Folded(t.Name) == "x$field") fieldTable = t.Id;
    static const std::map<std::string, std::pair<int32_t, int32_t>> kExpected = {
        {"xe$id", {0, 2}},        {"xe$file", {2, 2}},    {"xe$name", {4, 20}},
        {"xe$datatype", {24, 1}}, {"xe$offset", {25, 2}}, {"xe$size", {27, 2}},
        {"xe$dec", {29, 1}}};
    for (const TDdfField& f : fields) {
        if (f.File != fieldTable) continue;
        auto it = kExpected.find(Folded(f.Name));
        if (it != kExpected.end() && (it->second.first != f.Offset || it->second.second != f.Size))
            throw EBtrieve(BadDictionaryStructureText());
    }
}

// The column rows of table id, in the order of their places.
std::vector<TDdfField> ColumnsOf(const std::vector<TDdfField>& fields, int32_t id) {
    std::vector<TDdfField> columns;
    for (const TDdfField& f : fields)
        if (f.File == id && f.Type != kIndexNameRow && f.Type != kConstraintNameRow && f.Size > 0)
            columns.push_back(f);
    std::stable_sort(columns.begin(), columns.end(), [](const TDdfField& a, const TDdfField& b) {
        if (a.Offset != b.Offset) return a.Offset < b.Offset;
        if (a.Dec != b.Dec) return a.Dec < b.Dec;
        return a.Id < b.Id;
    });
    return columns;
}

struct TDdf {
    std::vector<TDdfTable> Tables;
    std::vector<TDdfField> Fields;
    std::vector<TDdfIndex> Indexes;
};

TDdf ReadDdf(const std::string& path) {
    TDdfFiles files;
    if (!FindDdfFiles(path, files)) throw EBtrieve(BadDictionaryStructureText());
    TDdf ddf;
    ddf.Tables = ReadTables(files.File);
    if (!SelfDescribed(ddf.Tables)) throw EBtrieve(BadDictionaryStructureText());
    ddf.Fields = ReadFields(files.Field);
    CheckFieldLayout(ddf.Tables, ddf.Fields);
    ddf.Indexes = ReadIndexes(files.Index);
    return ddf;
}

void Warn(const std::string& table, const std::string& column, const std::string& what) {
    DictWarning(
        Format("Warning: table %s, column %s: %s", table.c_str(), column.c_str(), what.c_str()));
}

// Every index of the table in the dictionary should be one of the file's keys, segment by
// segment; the numbers are not compared (dictionaries number them from 0 or from 1).
void CheckIndexes(const TDdfTable& table, const TDdf& ddf, const TDataFileHeader& header) {
    std::map<int32_t, std::vector<TDdfIndex>> byNumber;
    for (const TDdfIndex& x : ddf.Indexes)
        if (x.File == table.Id) byNumber[x.Number].push_back(x);
    for (auto& [number, parts] : byNumber) {
        std::stable_sort(parts.begin(), parts.end(),
                         [](const TDdfIndex& a, const TDdfIndex& b) { return a.Part < b.Part; });
        std::vector<std::pair<int32_t, int32_t>> places;
        std::string first;
        for (const TDdfIndex& x : parts) {
            auto f = std::find_if(ddf.Fields.begin(), ddf.Fields.end(),
                                  [&](const TDdfField& d) { return d.Id == x.Field; });
            std::string name = f == ddf.Fields.end() ? Format("#%d", x.Field) : f->Name;
            if (first.empty()) first = name;
            places.emplace_back(f == ddf.Fields.end() ? -1 : f->Offset + 1,
                                f == ddf.Fields.end() ? -1 : f->Size);
        }
        bool found = std::any_of(header.Keys.begin(), header.Keys.end(), [&](const auto& key) {
            if (key.size() != places.size()) return false;
            for (size_t s = 0; s < key.size(); ++s)
                if (key[s].Position != places[s].first || key[s].Length != places[s].second)
                    return false;
            return true;
        });
        if (!found)
            Warn(table.Name, first,
                 Format("key %d of the dictionary matches no key of the file", number));
    }
}

}  // namespace

bool IsDdfDictionary(const std::string& path) {
    TDdfFiles files;
    return FindDdfFiles(path, files);
}

bool IsV2DdfFolder(const std::string& path) {
    const fs::path os(AnsiToUtf8(ExpandAliases(path)));
    std::error_code ec;
    if (!fs::is_directory(os, ec) || !FindEntry(os, "FILE.DDF").empty()) return false;
    for (fs::directory_iterator it(os, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = UpperCaseAZ(it->path().filename().string());
        if (name.size() > 6 && name.compare(0, 2, "PV") == 0 &&
            name.compare(name.size() - 4, 4, ".DDF") == 0)
            return true;
    }
    return false;
}

std::string V2DictionaryText(const std::string& path) {
    return Format("Not supported: PV*.DDF dictionaries (the later metadata format): %s",
                  path.c_str());
}

std::vector<TDdfTableInfo> ListDdfTables(const std::string& path) {
    const TDdf ddf = ReadDdf(path);
    std::vector<TDdfTableInfo> list;
    for (const TDdfTable& t : ddf.Tables)
        list.push_back(TDdfTableInfo{t.Id, t.Name, t.Location,
                                     static_cast<int32_t>(ColumnsOf(ddf.Fields, t.Id).size()),
                                     (t.Flags & kTableDictionary) != 0});
    return list;
}

std::string DdfTableName(const std::string& path, const std::string& baseName) {
    const TDdf ddf = ReadDdf(path);
    const std::string wanted = Folded(DictionaryLookupName(baseName));
    std::string name;
    int found = 0;
    for (const TDdfTable& t : ddf.Tables)
        if (Folded(BaseNameOf(t.Location)) == wanted) {
            name = t.Name;
            ++found;
        }
    return found == 1 ? name : std::string();
}

void LoadDdfFileData(const std::string& path, const std::string& baseName,
                     const std::string& tableName, TFileData& fileData,
                     const TDataFileHeader* given) {
    const TDdf ddf = ReadDdf(path);
    std::vector<const TDdfTable*> matches;
    const std::string wanted =
        Folded(tableName.empty() ? DictionaryLookupName(baseName) : tableName);
    for (const TDdfTable& t : ddf.Tables)
        if (Folded(tableName.empty() ? BaseNameOf(t.Location) : t.Name) == wanted)
            matches.push_back(&t);
    if (matches.empty())
        throw EBtrieve(
            tableName.empty()
                ? DescriptionNotFoundText(DictionaryLookupName(baseName), path)
                : Format("Table %s not found in dictionary %s", tableName.c_str(), path.c_str()));
    if (matches.size() > 1) {
        std::string names;
        for (const TDdfTable* t : matches) names += (names.empty() ? "" : ", ") + t->Name;
        throw EBtrieve(
            Format("Several tables of dictionary %s name the file %s: %s (choose one "
                   "with --dict-table)",
                   path.c_str(), DictionaryLookupName(baseName).c_str(), names.c_str()));
    }
    const TDdfTable& table = *matches.front();
    const TDataFileHeader header = given ? *given : ReadDataFileHeader(baseName);

    std::vector<TColumn> columns;
    for (const TDdfField& f : ColumnsOf(ddf.Fields, table.Id)) {
        TColumn c;
        c.Name = f.Name;
        c.Utf8Name = f.Utf8Name;
        c.Offset = f.Offset;
        c.Size = f.Size;
        std::string problem;
        c.TypeCode = StorageOfTypeCode(f.Type, f.Size, f.Flags, problem);
        if (!problem.empty()) Warn(table.Name, f.Name, problem);
        c.Scale = f.Dec;
        c.Bit = c.TypeCode == btBit;
        if ((table.Flags & kTableTrueNulls) && (f.Flags & kFieldNullable) && f.Offset > 0)
            c.NullOffset = f.Offset - 1;
        columns.push_back(std::move(c));
    }
    fileData.Fields = std::make_unique<TBFieldList>(LayColumns(table.Name, columns, header));
    fileData.Keys = std::make_unique<TBKeyList>(FileKeys(*fileData.Fields, header));
    fileData.OwnerName.clear();
    CheckIndexes(table, ddf, header);
}
