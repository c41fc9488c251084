// The file of edge values the load tests export: one field of every dictionary type code,
// holding NULLs of every type that can be null, apostrophes, CR LF and backslashes in text,
// every CP866 letter, dates from the year 1 to 9999-12-31, midnight and one second after,
// the smallest and largest value of every integer type, doubles that need 17 digits, and
// blobs of 0, 1 and 70,000 bytes holding 0x00, 0x27 and 0x5C.
#pragma once

#include <string>

// Writes, into dir, the dictionary edge.def describing two data files: edge.dbt with every
// type, and plain.dbt with only the types the classic script writes (no logical, raw bytes or
// blobs), holding the same rows in the fields they share.
void MakeEdgeFiles(const std::string& dir);
