// A small dBASE III writer for the side-by-side benchmark: the header, the field descriptors
// and fixed-width records of character, numeric and date fields, written as they are added.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct TDbfField {
    std::string Name;  // at most 10 characters
    char Type;         // 'C', 'N' or 'D'
    uint8_t Length;
    uint8_t Decimals = 0;
};

class TDbfWriter {
  public:
    // Creates path and writes the header for records rows; throws std::runtime_error when the
    // file cannot be written.
    TDbfWriter(const std::string& path, const std::vector<TDbfField>& fields, uint32_t records);
    ~TDbfWriter();
    TDbfWriter(const TDbfWriter&) = delete;
    TDbfWriter& operator=(const TDbfWriter&) = delete;
    // One record: a value per field, as text (numbers right-aligned, text left-aligned and
    // cut to the field's length, dates YYYYMMDD).
    void Add(const std::vector<std::string>& values);
    // The end-of-file mark; the file is complete.
    void Close();

  private:
    std::FILE* file_ = nullptr;
    std::vector<TDbfField> fields_;
    std::string record_;
};
