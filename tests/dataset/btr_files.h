// Btrieve files for the dataset tests, made through the embedded record manager: data files
// of a given layout with their records, and dictionaries of 141-byte records describing them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recman/file_spec.h"

// A scratch folder removed with its files at the end of the test.
class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// One key segment: 1-based position, length, extended type; seg: another segment follows.
recman::KeySegment Segment(uint16_t position, uint16_t length, uint8_t type, bool seg = false,
                           bool duplicates = true);

// Creates the data file and inserts the records (each recordLength bytes, or longer for a
// variable-length file). Raises std::runtime_error naming the failing call.
void MakeBtrieveFile(const std::string& path, uint16_t recordLength,
                     const std::vector<std::vector<recman::KeySegment>>& keys,
                     const std::vector<std::string>& records, bool variable = false);

struct TDictField {
    std::string Name;  // UTF-8, stored as CP866
    int TypeCode;
    int32_t Size;
};
struct TDictSegment {
    std::string FieldName;  // UTF-8
    bool Segmented = false;
    bool CaseInsensitive = false;
};
struct TDictFile {
    std::string Name;  // the data file name without folder, lower case
    std::vector<TDictField> Fields;
    std::vector<TDictSegment> Keys;
};

// Writes a dictionary of 141-byte records describing the files.
void MakeDictionary(const std::string& path, const std::vector<TDictFile>& files);

// The whole file's bytes; empty when it cannot be read.
std::string ReadAll(const std::string& path);

// Record bytes: little-endian values put at offsets of a zeroed record.
class TRecordBytes {
  public:
    explicit TRecordBytes(size_t size) : bytes_(size, '\0') {}
    TRecordBytes& Put(size_t offset, const void* data, size_t size);
    template <typename T>
    TRecordBytes& Value(size_t offset, T value) {
        return Put(offset, &value, sizeof value);
    }
    TRecordBytes& Text(size_t offset, const std::string& bytes) {
        return Put(offset, bytes.data(), bytes.size());
    }
    const std::string& Bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

// A table of a DDF dictionary: its FILE.DDF row (name, location, flags) and FIELD.DDF rows.
struct TDdfColumn {
    std::string Name;
    int Type, Offset, Size;
};
struct TDdfTable {
    std::string Name, Location;
    uint8_t Flags;
    std::vector<TDdfColumn> Columns;
};

// FILE.DDF and FIELD.DDF in folder; table ids from 1 in the given order.
void WriteDdf(const std::string& folder, const std::vector<TDdfTable>& tables);
