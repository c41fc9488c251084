// The tables of a whole database: what a dictionary describes (the own dictionary forms, or a
// DDF data dictionary), and where each table's data file is on the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TDatabaseTable {
    std::string Name;       // the table name (CP1251)
    std::string DataFile;   // the data file as the dictionary names it
    std::string Path;       // the data file found; empty when there is none
    int32_t Columns = -1;   // the columns the dictionary gives; -1 when it cannot say
    std::string DictTable;  // the DDF table the file is read by (several may share a file)
    std::string LeftOut;    // why the table is not exported ("data file not found", ...)
};

// The tables of the dictionary, in the dictionary's order, each with its data file looked
// for in dataDir or, when that is empty, from the dictionary's folder. A table that cannot be
// exported says why in LeftOut: the dictionary's own tables ("dictionary table"), a data file
// that is not there ("data file not found") or a location outside the data folder. Raises the
// dictionary's error when it cannot be read at all.
std::vector<TDatabaseTable> ListDatabaseTables(const std::string& dictName,
                                               const std::string& dataDir);

// The data file a dictionary names by location (a file name, or a DOS path: "\" or "/"
// separators, a drive letter), looked for under folder: the path relative to the folder,
// then the file name alone, letters A..Z in any case in every part. Empty when neither
// exists, and when a relative location climbs out of the folder with ".." (outside, when
// given, is then set).
std::string FindDataFile(const std::string& folder, const std::string& location,
                         bool* outside = nullptr);

// The reasons a table is left out of a whole-database export.
inline constexpr const char* kNoDataFileText = "data file not found";
inline constexpr const char* kDictionaryTableText = "dictionary table";
inline constexpr const char* kOutsideFolderText = "location outside the data folder";

// The folder a dictionary's relative locations start from: the dictionary itself when it is a
// folder, else the folder holding it ("." for a bare file name).
std::string DictionaryFolder(const std::string& dictName);
