// The export's decode plan: made once per run from the Btrieve dataset's field descriptions
// and the dialect's literal forms, it holds for each column the place of its bytes in the
// record and one function that appends the column's literal straight from those bytes. A
// value out of the ordinary (null, no valid date, midnight, a float without a plain form, a
// letter the script does not take as it stands) is left to the field's own path, as is every
// value of a type the plan does not know.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/script_text.h"
#include "dataset/dataset.h"

class TBDataSet;

// How a dialect writes the values a plan can write for it.
struct TLiteralStyle {
    enum TFloatForm { ffClassic, ffShortest, ffFirebird, ffSQLite };
    enum TTextForm { tfQuoted, tfBackslash, tfCrApart, tfCopy };
    // The classic script: the regional date separator and long time format, floats of 15
    // digits; text not converted to UTF-8 keeps CP1251.
    bool Classic = false;
    bool Utf8 = false;
    TFloatForm Float = ffShortest;
    TTextForm Text = tfQuoted;
    // Texts whose converted bytes might pass this many go the field's path (Firebird's pieces).
    size_t TextBytes = SIZE_MAX;
};

// Each source byte of a text as the script writes it (converted and escaped).
class TTextTable {
  public:
    static constexpr uint8_t kFieldPath = 0xFF;
    static constexpr size_t kWidest = 7;

    // The byte's text (kWidest bytes at most).
    void Set(uint8_t byte, std::string_view text);
    // A byte that sends the whole value through the field's path: its length is kFieldPath.
    void SetFieldPath(uint8_t byte);
    // After every Set: finds the ASCII bytes from 0x20 up that the table keeps as they are.
    void Seal();

    // The byte's text in the first bytes of the eight at the entry, its length in the last.
    uint64_t Entry(uint8_t byte) const { return entries_[byte]; }
    static uint8_t LengthOf(uint64_t entry) {
        return static_cast<uint8_t>(std::endian::native == std::endian::little ? entry >> 56
                                                                               : entry);
    }
    size_t Widest() const { return widest_; }
    // Whether runs of printable ASCII can be tested eight bytes at a time.
    bool AsciiRuns() const { return asciiRuns_; }
    // Of eight bytes read as one word (first byte lowest), the high bit of each byte the table
    // does not write as it is (not ASCII from 0x20 up, or changed). The lowest bit set marks
    // the first such byte; bytes after it may be marked though kept.
    uint64_t OddBytes(uint64_t word) const {
        constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
        // The high bit of a byte of v that is zero, and maybe of bytes after it; none if none is.
        const auto zero = [](uint64_t v) { return (v - kOnes) & ~v; };
        const uint64_t odd = word | ((word - kOnes * 0x20) & ~word) |  // 0x80 up, below 0x20
                             zero(word ^ (kOnes * changed_[0])) |
                             zero(word ^ (kOnes * changed_[1]));
        return odd & kHighs;
    }
    bool KeptAsIs(uint64_t word) const { return OddBytes(word) == 0; }
    // The first n (up to eight) bytes of word (first byte lowest), when the table writes each
    // as one byte (a letter of one code page in another): their text, each byte in its place;
    // false when one of them is not. Eight loads that do not wait on each other, where a byte
    // at a time waits on the length of the one before.
    bool OneByteEach(uint64_t word, size_t n, uint64_t& text) const {
        uint64_t out = 0;
        unsigned all = 1;
        for (size_t i = 0; i < n; ++i) {
            const uint16_t one = one_[(word >> (8 * i)) & 0xFF];
            all &= one >> 8;
            out |= uint64_t{static_cast<uint8_t>(one)} << (8 * i);
        }
        text = out;
        return all != 0;
    }

  private:
    uint64_t entries_[256] = {};
    // 0x100 and the byte's text for a byte written as one byte; 0 for others.
    uint16_t one_[256] = {};
    size_t widest_ = 1;
    // ASCII from 0x20 up other than these two (NUL when unused) is written as it is; false
    // when more bytes than that are changed, and where a word's first byte is not its lowest.
    bool asciiRuns_ = false;
    uint8_t changed_[2] = {0, 0};
};

struct TPlanColumn;
// Writes the column's literal from the record's bytes at `at`, where the column's Room bytes
// are free, and answers its end; null where the field's path has to write the value.
using TPlanAppend = char* (*)(char* at, const uint8_t* record, const TPlanColumn& column);

struct TPlanColumn {
    TPlanAppend Append = nullptr;  // none: every value through the field
    size_t Room = 0;               // the most bytes Append writes, scratch included
    int32_t Offset = 0;
    int32_t Size = 0;
    int32_t NullOffset = -1;
    size_t Limit = 0;  // the most characters of a text
    const TTextTable* Text = nullptr;
    // A float's form at `at` in kFloatRoom bytes: its end, or null when it would not fit.
    char* (*Float)(char* at, double value) = nullptr;
    char DateSeparator = '-';
    bool Quoted = true;          // dates, times and text between apostrophes
    bool PlainFloatOnly = true;  // -0 and values without a number take the field's path
    bool IsoTime = true;         // HH:MM:SS[.fff]; else the classic long time form
    bool HourLeadingZero = true;
};

class TDecodePlan {
  public:
    // The room of a float's form in a column.
    static constexpr size_t kFloatRoom = 64;

    // The plan of fields (the run's columns, in order) of dataSet in style. A dataset that is
    // not a Btrieve file's, or that converts its text by its own handler, gets a plan without
    // columns of text, or none at all.
    TDecodePlan(const TDataSet& dataSet, const TFieldList& fields, const TLiteralStyle& style);
    TDecodePlan(const TDecodePlan&) = delete;
    TDecodePlan& operator=(const TDecodePlan&) = delete;

    // Before each record: where the current record's bytes are.
    void Begin() const;
    // The literals of the current record's columns from `from` on, up to `end`, while the
    // plan writes them, each after the separator (one or two bytes) but column 0; the first
    // column left to the field's own path (end when none), with out as it was before that
    // column's separator. ends, when given, gets each written column's end in out.
    size_t AppendRun(size_t from, size_t end, TScriptText& out, std::string_view separator,
                     size_t* ends) const;
    // The columns the plan writes itself.
    size_t Covered() const;

  private:
    const TTextTable* TextTable(bool oem, const TLiteralStyle& style);

    const TBDataSet* source_ = nullptr;
    std::vector<TPlanColumn> columns_;
    size_t room_ = 0;  // of every column the plan writes, with its separator
    std::unique_ptr<TTextTable> oemText_, ansiText_;
    mutable const uint8_t* record_ = nullptr;
};
