// DDF data dictionaries (FILE.DDF, FIELD.DDF, INDEX.DDF beside the data files), read without
// the vendor's engine through the record manager: the list of their tables, and the
// description of one data file from the table that names it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dict/file_data.h"

// True when path is a DDF data dictionary: a folder holding FILE.DDF and FIELD.DDF (any letter
// case), or the path of a FILE.DDF. Whether their records can be read is not asked: reading
// them says why not.
bool IsDdfDictionary(const std::string& path);

// True when path is a folder that holds the later metadata files (PVFILE.DDF and the like)
// and no FILE.DDF: a dictionary form that is refused.
bool IsV2DdfFolder(const std::string& path);
// "Not supported: PV*.DDF dictionaries (the later metadata format): %s"
std::string V2DictionaryText(const std::string& path);

struct TDdfTableInfo {
    int32_t Id;
    std::string Name;
    std::string Location;
    int32_t Columns;
    bool Dictionary;  // one of the dictionary's own tables (0x10 in Xf$Flags)
};

// The tables of the dictionary, its own ones marked, in Xf$Id order; names in CP1251.
std::vector<TDdfTableInfo> ListDdfTables(const std::string& path);

// The Xf$Name of the table whose Xf$Loc names baseName's file; "" when none or several do.
std::string DdfTableName(const std::string& path, const std::string& baseName);

// Fills fileData with the description of the data file baseName from the DDF dictionary at
// path: the table named tableName (Xf$Name, letter case ignored) when one is given, else the
// table whose Xf$Loc names baseName's file (folders and letter case ignored). The layout is
// checked against the data file's header; faults are reported as dictionary warnings.
// Raises EBtrieve when no table (or more than one) fits.
// header, when given, is the data file's, read by the caller.
struct TDataFileHeader;
void LoadDdfFileData(const std::string& path, const std::string& baseName,
                     const std::string& tableName, TFileData& fileData,
                     const TDataFileHeader* header = nullptr);
