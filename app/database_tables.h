// The tables of a whole database: what a dictionary describes (the own dictionary forms, or a
// DDF data dictionary), and where each table's data file is on the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TDatabaseTable {
    std::string Name;      // the table name (CP1251)
    std::string DataFile;  // the data file as the dictionary names it
    std::string Path;      // the data file found; empty when there is none
    int32_t Columns = -1;  // the columns the dictionary gives; -1 when it cannot say
};

// The user tables of the dictionary, in the dictionary's order, each with its data file looked
// for in dataDir or, when that is empty, from the dictionary's folder. The dictionary's own
// tables are left out. Raises the dictionary's error when it cannot be read at all.
std::vector<TDatabaseTable> ListDatabaseTables(const std::string& dictName,
                                               const std::string& dataDir);

// The data file a dictionary names by location (a file name, or a DOS path: "\" or "/"
// separators, a drive letter), looked for under folder: the path relative to the folder,
// then the file name alone, letters A..Z in any case. Empty when neither exists.
std::string FindDataFile(const std::string& folder, const std::string& location);

// The folder a dictionary's relative locations start from: the dictionary itself when it is a
// folder, else the folder holding it ("." for a bare file name).
std::string DictionaryFolder(const std::string& dictName);
