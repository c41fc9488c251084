// The one way a front end (the command line, the whole-database export, the window, the
// benchmarks) turns what the user chose into an export run, so that the same choices write
// the same script whichever front end made them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/export_run.h"
#include "app/settings.h"
#include "app/sql_dialect.h"

// What the user chose beside the settings (TImpInfo).
struct TExportChoice {
    // The target, statement forms and table options.
    TScriptForm Form;
    // The script's encoding (DefaultScriptEncoding(Form.Target) unless the user named one).
    TScriptEncoding Encoding = seAnsi;
    // The key statements of a target's script (--no-indexes: false).
    bool Indexes = true;
    // The table of a DDF dictionary that describes the data file (--dict-table); empty: the
    // dictionary's own choice.
    std::string DictTable;
    // The script goes to standard output.
    bool ToStandardOutput = false;
    // Points the closed dataset at the dictionary and the data file.
    std::function<void(TDataSet&, const std::string& dictName, const std::string& baseName)>
        NameDataSet;
    // The keys of the open dataset's data file; empty: the Btrieve dataset's own file keys.
    std::function<std::vector<TSqlKey>(TDataSet&)> KeysOf;
};

// Makes run ready for an export over info: its form, encoding and output, the dictionary's
// table, and the key statements where the target states keys and the dictionary takes them
// from the data file (none, or a DDF dictionary).
void SetUpExportRun(TExportRun& run, const TImpInfo& info, const TExportChoice& choice);
