// What a Btrieve file holds, read through the Btrieve dataset as the exporter reads it, in
// the forms the load tests compare a database's rows with.
#pragma once

#include <string>
#include <vector>

enum class TKind { Text, Int, Float, Date, Time, Timestamp, Bool, Bytes };

struct TExpectedColumn {
    std::string Name;  // the field name, CP1251
    TKind Kind;
    bool Oem = false;  // text stored in CP866: translated fields, and memo content
};

struct TCell {
    bool Null = true;
    std::string Text;   // Text: the stored bytes (CP866 when Oem, else CP1251); Bytes: the
                        // bytes; Int: decimal; Date, Time, Timestamp: ISO form (a stored
                        // timestamp with its seven digits of 100 ns); Bool: 1 or 0
    double Number = 0;  // Float
};

struct TTable {
    std::vector<TExpectedColumn> Columns;
    std::vector<std::vector<TCell>> Rows;  // in the order of the first key
};

// Reads every record of base through the dictionary dict.
TTable ReadBtrieveTable(const std::string& dict, const std::string& base);
