// The export run as the command line drives it, for the fuzz targets: a host that shows
// nothing, the dataset read-only over a dictionary (its DDF table chosen by name) and a data
// file, the file's keys stated by the targets that take them.
#pragma once

#include <cstddef>
#include <string>

#include "app/export_run.h"
#include "app/settings.h"

namespace fuzz {

// The records of one transaction in RunExport's scripts.
constexpr size_t kCommitPeriod = 2;

struct TExportChoice {
    TScriptForm Form;
    TScriptEncoding Encoding = seAnsi;
    std::string DictTable;  // the DDF table to read the file by; "" for none
    int32_t OemCodePage = 866;
};

// Writes the script of the data file base (described by dict) to sql as table. Returns the
// error that ended the run ("" when it ran to the end); only the project's own exceptions
// are caught.
std::string RunExport(const std::string& dict, const std::string& base, const std::string& sql,
                      const std::string& table, const TExportChoice& choice);

// Dictionary warnings and Btrieve error boxes go nowhere while it lives.
class TSilence {
  public:
    TSilence();
    ~TSilence();
    TSilence(const TSilence&) = delete;
    TSilence& operator=(const TSilence&) = delete;

  private:
    void* previousWarnings_;
};

}  // namespace fuzz
