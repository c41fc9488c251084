// The export's decode plan: made once per run from the Btrieve dataset's field descriptions
// and the dialect's literal forms, it holds for each column the place of its bytes in the
// record and one function that appends the column's literal straight from those bytes. A
// value out of the ordinary (null, no valid date, midnight, a float without a plain form, a
// letter the script does not take as it stands) is left to the field's own path, as is every
// value of a type the plan does not know.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
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

// One source byte of a text as the script writes it (converted and escaped); Length
// kFieldPath sends the whole value through the field's path.
struct TTextTable {
    static constexpr uint8_t kFieldPath = 0xFF;
    uint8_t Length[256];
    char Bytes[256][6];
    size_t Widest = 1;
};

struct TPlanColumn;
// Appends the column's literal from the record's bytes; false, out as it was, where the
// field's path has to write the value.
using TPlanAppend = bool (*)(TScriptText& out, const uint8_t* record, const TPlanColumn& column);

struct TPlanColumn {
    TPlanAppend Append = nullptr;  // none: every value through the field
    int32_t Offset = 0;
    int32_t Size = 0;
    int32_t NullOffset = -1;
    size_t Limit = 0;  // the most characters of a text
    const TTextTable* Text = nullptr;
    void (*Float)(TScriptText&, double) = nullptr;
    char DateSeparator = '-';
    bool Quoted = true;          // dates, times and text between apostrophes
    bool PlainFloatOnly = true;  // -0 and values without a number take the field's path
    bool IsoTime = true;         // HH:MM:SS[.fff]; else the classic long time form
    bool HourLeadingZero = true;
};

class TDecodePlan {
  public:
    // The plan of fields (the run's columns, in order) of dataSet in style. A dataset that is
    // not a Btrieve file's, or that converts its text by its own handler, gets a plan without
    // columns of text, or none at all.
    TDecodePlan(const TDataSet& dataSet, const TFieldList& fields, const TLiteralStyle& style);
    TDecodePlan(const TDecodePlan&) = delete;
    TDecodePlan& operator=(const TDecodePlan&) = delete;

    // Before each record: where the current record's bytes are.
    void Begin() const;
    // Column i's literal of the current record appended; false, out as it was, where the
    // field's own path writes it.
    bool Append(size_t i, TScriptText& out) const {
        if (record_ == nullptr || i >= columns_.size()) return false;
        const TPlanColumn& column = columns_[i];
        return column.Append != nullptr && column.Append(out, record_, column);
    }
    // The columns the plan writes itself.
    size_t Covered() const;

  private:
    const TTextTable* TextTable(bool oem, const TLiteralStyle& style);

    const TBDataSet* source_ = nullptr;
    std::vector<TPlanColumn> columns_;
    std::unique_ptr<TTextTable> oemText_, ansiText_;
    mutable const uint8_t* record_ = nullptr;
};
