// The keys of a data file as a script states them after the data: which columns, unique or
// not, and whether a segment may hold a null; and which key becomes the primary key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TSqlKey {
    int32_t Number = 0;                // the file's key number
    bool Unique = false;               // the file refuses duplicates
    bool NullSegments = false;         // a segment may be null
    std::vector<std::string> Columns;  // field names (CP1251), in segment order; none: left out
    // What the script does otherwise than the file ("key 1: ..."), for a warning naming the
    // table; empty when the key is written as the file has it.
    std::string Warning;
    // The records arrive in this key's order: a repeat of its values is always the value just
    // before, so a unique key's check keeps that one value instead of one per record.
    bool Walked = false;
};

// The first unique key without null segments that has columns; -1 when there is none.
int PrimaryKeyIndex(const std::vector<TSqlKey>& keys);
