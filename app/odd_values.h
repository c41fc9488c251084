// The values of a table that a script cannot write as they stand: a float the target cannot
// store (NaN, an infinity) and stored bytes that hold no number (a zero-filled DECIMAL or
// MONEY, a blank NUMERIC). Each is written as NULL and counted for one warning per column at
// the end of the run, or, under --strict, refused naming the table, the record and the field.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dataset/field.h"
#include "platform/exception.h"

// A value that cannot be written: "Record %d, field %s: <detail>". The dialect of the table
// adds the table's name to it.
class EValueError : public Exception {
  public:
    EValueError(int32_t recordNo, const std::string& fieldName, const std::string& detail);
    int32_t RecordNo;
    std::string FieldName;
    std::string Detail;
};

// "Table %s, record %d, field %s: <detail>" for an error raised while the field's value was
// written: an EValueError gives its detail, any other error its whole message.
[[noreturn]] void RaiseTableValueError(const std::string& table, int32_t recordNo,
                                       const TField& field, const std::exception& error);

// The detail of a null written for stored bytes without a number.
inline constexpr const char* kNoStoredNumber = "the stored bytes hold no number";

class TOddValues {
  public:
    // A new table; strict: every odd value is an error.
    void Start(const std::string& table, bool strict);
    // A value written as NULL: what it is ("NaN, which mysql does not store") and what the
    // column's warning says of all such values ("NaN or infinity, which mysql does not
    // store"). Counted, or under strict raised as the EValueError "<what>; without --strict
    // it is written as NULL".
    void WrittenAsNull(const TField& field, int32_t recordNo, const std::string& what,
                       const std::string& kind);
    // One line per column, in the order the columns first met an odd value:
    // "Table %s, field %s: %d value(s) written as NULL (<kind>)".
    std::vector<std::string> Warnings() const;

  private:
    struct TColumn {
        std::string Field;
        std::string Kind;
        int64_t Count = 0;
    };
    std::string table_;
    bool strict_ = false;
    std::vector<TColumn> columns_;
    std::map<std::string, size_t> index_;  // field name -> its column above
};
