// The file of edge values the load tests export: one field of every dictionary type code,
// holding NULLs of every type that can be null, apostrophes, CR LF and backslashes in text,
// every CP866 letter, dates from the year 1 to 9999-12-31, midnight and one second after,
// the smallest and largest value of every integer type, doubles that need 17 digits, and
// blobs of 0, 1 and 70,000 bytes holding 0x00, 0x27 and 0x5C.
#pragma once

#include <string>

// Writes, into dir, the dictionary edge.def describing its data files: edge.dbt with every
// type, and plain.dbt with only the types the classic script writes (no logical, raw bytes or
// blobs), holding the same rows in the fields they share; exact.dbt with doubles and keys
// that must come back exact; big.dbt and bigfb.dbt with memos and blobs over a statement.
void MakeEdgeFiles(const std::string& dir);
// Writes, into dir, a DDF dictionary (FILE.DDF, FIELD.DDF, INDEX.DDF) and its one table STAMPS
// (stamps.dat, key ID): TIMESTAMP values down to the 100-ns tick (the last tick of 9999, the
// first of year 1), CURRENCY at its limits, a 19-digit DECIMAL and 64-bit unsigned values up
// to 2^64-1; and TICKS (ticks.dat), the same file's ID and TS alone.
void MakeDdfFiles(const std::string& dir);
