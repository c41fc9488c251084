// Helpers of the DDF tests: a log of the dictionary warnings, opening a dataset on a
// dictionary and a data file, the values of the current record as one line of UTF-8 text, and
// Btrieve files built with btrutil.
#pragma once

#include <string>
#include <vector>

#include "dataset/btr_dataset.h"
#include "dict/dict_warnings.h"

// Collects the dictionary warnings (UTF-8) while it lives.
class TWarningLog : public IDictWarnings {
  public:
    TWarningLog() : previous_(SetDictWarnings(this)) {}
    ~TWarningLog() override { SetDictWarnings(previous_); }
    void DictWarning(const std::string& text) override;
    const std::vector<std::string>& Lines() const { return lines_; }
    // Every line ended by "\n".
    std::string Text() const;
    void Clear() { lines_.clear(); }

  private:
    IDictWarnings* previous_;
    std::vector<std::string> lines_;
};

// Opens the read-only dataset on the dictionary and the data file (both UTF-8 paths).
void OpenOn(TBDataSet& ds, const std::string& dict, const std::string& base);
// The message of the error opening it raises (UTF-8), or "" when it opens.
std::string OpenError(TBDataSet& ds, const std::string& dict, const std::string& base);
// The field names, blank-separated, UTF-8.
std::string FieldNames(const TBDataSet& ds);
// One field's value: NULL for none; dates YYYY-MM-DD, date-times YYYY-MM-DD HH:MM:SS.mmm,
// raw bytes in hex, blobs their content, wide text straight to UTF-8, the rest AsString.
std::string ValueText(TBDataSet& ds, TField& field);
// The values of the current record joined by "|".
std::string RowText(TBDataSet& ds);
// The content of a blob field of the current record (memo text as stored, in the OEM code page).
std::string BlobText(TBDataSet& ds, const std::string& field);

// One key segment line of a btrutil description.
std::string KeyLine(int position, int length, const std::string& type, bool duplicates,
                    bool segment = false);
// Builds the file with btrutil (-create from the description text, -load of the records).
void BuildWithBtrutil(const std::string& path, const std::string& description,
                      const std::vector<std::string>& records);
