// A file system layer for SQLite over the default one that, while a walk reads a file's pages
// in order, reads them a window at a time: one system call for sixteen pages instead of one each.
#pragma once

#include <sqlite3.h>

namespace recman {

// The name to open our files under (registered on first use; the default layer stays the
// default).
const char* ReadAheadVfsName();

// Reads the main file of db ahead for as long as it lives, and forgets what it read when it
// ends. Only for the span of one read transaction: the pages a snapshot reads from the file do
// not change under it, while across transactions they may. Does nothing for a connection
// opened under another layer.
class ReadAheadScope {
  public:
    explicit ReadAheadScope(sqlite3* db);
    ~ReadAheadScope();
    ReadAheadScope(const ReadAheadScope&) = delete;
    ReadAheadScope& operator=(const ReadAheadScope&) = delete;

  private:
    sqlite3* db_;
};

// What the reading ahead of db's main file has done while on: reads answered from a window,
// windows read, and reads passed to the layer below. For tests and measurements.
struct ReadAheadCounts {
    long long served = 0;
    long long windows = 0;
    long long passed = 0;
};
ReadAheadCounts ReadAheadCountsOf(sqlite3* db);

}  // namespace recman
