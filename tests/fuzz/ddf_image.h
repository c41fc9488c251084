// DDF dictionaries written for the fuzz targets: FILE.DDF, FIELD.DDF and INDEX.DDF as files in
// the vendor's format, from record bytes as given, and the rows a well-formed dictionary holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

using TRow = std::vector<uint8_t>;

struct TDdfRows {
    uint16_t FileLength = 97;  // 87 or 97: both forms of X$File occur
    std::vector<TRow> Files, Fields, Indexes;
};

// Writes the three files into folder under the names the reader looks for; an empty index
// list leaves INDEX.DDF out. Throws std::runtime_error when a file cannot be written.
void WriteDdf(const std::string& folder, const TDdfRows& rows);

// An X$File row: id, name and location blank-padded (OEM bytes as given), flags.
TRow FileRow(uint16_t length, uint16_t id, const std::string& name, const std::string& location,
             uint8_t flags);
// An X$Field row.
TRow FieldRow(uint16_t id, uint16_t file, const std::string& name, uint8_t type, uint16_t offset,
              uint16_t size, uint8_t dec, uint16_t flags);
// An X$Index row.
TRow IndexRow(uint16_t file, uint16_t field, uint16_t number, uint16_t part);

// The rows every dictionary starts with: X$File, X$Field and X$Index (ids 1-3) and the
// columns of X$Field the reader checks (ids 1-7).
void AddOwnRows(TDdfRows& rows);

}  // namespace fuzz
