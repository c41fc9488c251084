// The names a target's script gives tables, columns and indexes: the user's renames
// (--rename FILE) first, then a suffix "_2", "_3"... for a name the target would take for one
// already given, so that no two names of a script fall together.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>

// Old name -> new name, CP1251: "TABLE" renames a table, "TABLE.COLUMN" a column of it.
using TRenames = std::map<std::string, std::string>;

// Reads a rename file: UTF-8 lines "OLD=NEW" or "TABLE.COLUMN=NEW", blanks around the names
// and "=" ignored; empty lines and lines starting with "#" are skipped. Raises
// "%s, line %d: <what>" for a line without "=", an empty name, a letter code page 1251 lacks
// or an old name given twice; "Rename file not found: %s" when it cannot be read.
TRenames ReadRenames(const std::string& fileName);

// The new name a rename file gives the table (or the table's column), or nullptr.
const std::string* RenamedTable(const TRenames& renames, const std::string& table);
const std::string* RenamedColumn(const TRenames& renames, const std::string& table,
                                 const std::string& column);

// Names kept apart by their key (how the target compares them).
class TUniqueNames {
  public:
    explicit TUniqueNames(std::function<std::string(const std::string&)> key)
        : key_(std::move(key)) {}
    // The name as taken, without being given out (another table of the script).
    void Reserve(const std::string& name) { taken_.insert(key_(name)); }
    // The name, or the name with the first suffix "_2", "_3"... whose key is free; taken.
    std::string Take(const std::string& name);

  private:
    std::function<std::string(const std::string&)> key_;
    std::set<std::string> taken_;
};
