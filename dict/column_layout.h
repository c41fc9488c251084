// The description of a data file from explicit column places (a DDF dictionary, or the file's
// own key segments when there is no dictionary), checked against the file's header: bytes no
// column covers become FILLER_<offset> raw columns, faults become warnings, and the keys are
// the file's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "btrieve/btr_file.h"
#include "dict/file_data.h"

// What the header of a data file says of its layout.
struct TDataFileHeader {
    int32_t RecordLength = 0;
    bool Variable = false;
    // Per key, its segments (1-based positions as Stat gives them).
    std::vector<std::vector<TSegmentSpec>> Keys;
};

// The header of an open data file, as its Stat gave it.
TDataFileHeader HeaderOfFile(const TBtrieveFile& file);
// Opens the data file read-only (file name in CP1251, aliases expanded) and reads its header.
TDataFileHeader ReadDataFileHeader(const std::string& baseName);

// The storage of a column typed by an engine type code (the data dictionary's Xe$DataType,
// which for the key types is also the key type of a key segment). flags are Xe$Flags. A code
// or size with no storage gives btBytes and a reason in problem.
int32_t StorageOfTypeCode(int code, int size, uint16_t flags, std::string& problem);

// One column as a dictionary places it.
struct TColumn {
    std::string Name;      // CP1251
    std::string Utf8Name;  // as TBField::Utf8Name
    int32_t Offset = 0;
    int32_t Size = 0;
    int32_t TypeCode = 0;  // storage (TBTypeCode)
    int32_t Scale = 0;
    int32_t NullOffset = -1;
    bool Bit = false;  // may share its byte with other bit columns
};

// The field list of columns laid on a record of header.RecordLength bytes: sorted by offset,
// columns past the record left out, FILLER_<offset> raw columns for uncovered bytes, and the
// variable part (when the file has one) as the one tail column given or, failing one, a raw
// column. Warnings name table and column.
TBFieldList LayColumns(const std::string& table, std::vector<TColumn> columns,
                       const TDataFileHeader& header);

// The key list of the file's own keys: a segment is named by the field whose place it covers
// exactly, or carries its own place and storage.
TBKeyList FileKeys(const TBFieldList& fields, const TDataFileHeader& header);

// The segment storage of a key segment by its key type (extended type, or the old binary flag).
int32_t StorageOfSegment(const TSegmentSpec& segment, std::string& problem);

// The keys of the header, their flags decoded.
std::vector<TKeyShape> KeyShapesOf(const TDataFileHeader& header);

// The description of a data file read without a dictionary: its key segments as columns
// KEY<k>_<s> (key number from 0, segment from 1) typed by their key types, FILLER_<offset>
// raw columns between them and the variable part.
// header, when given, is the data file's, read by the caller.
void LoadKeysOnlyFileData(const std::string& baseName, TFileData& fileData,
                          const TDataFileHeader* header = nullptr);
