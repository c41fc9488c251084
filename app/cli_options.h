// The command line's options: the arguments parsed into TCliChoice, what the user typed and
// which options were given, before anything is checked or opened.
#pragma once

#include <set>
#include <string>
#include <vector>

struct TCliChoice {
    std::string Dict, Base, Sql, Table, Commit, Settings, SaveSettings, Encoding = "cp1251";
    std::string Engine, DictTable, DataDir, Target, RenameFile;
    bool Ddl = true, Version = false, All = false, List = false, NoIndexes = false;
    bool Copy = false, DropTable = false, Strict = false;
    // --progress draws the progress line whatever standard error is; --quiet shows nothing
    // but errors; --force exports a file its dictionary describes only in part.
    bool Progress = false, Quiet = false, Force = false;
    int OemCodePage = 866, RowsPerInsert = 1, WaitSeconds = -1;
    int Jobs = 0;                 // --all's tables at once; 0: as many as the cores
    std::set<std::string> Given;  // the options given, by their first long name ("--dict")
    bool Has(const std::string& option) const { return Given.count(option) > 0; }
    // The usage lines and the pointer to --help, for what is missing.
    std::string Usage;
};

// What parsing gave: a choice to check and run, or the text of --help (status 0) or of a
// refused argument with the usage (status 1) and nothing to run.
struct TCliParse {
    TCliChoice Choice;
    bool Done = false;  // nothing to run: print Text to Out (Status 0) or Err (else)
    int Status = 0;
    std::string Text;
};

// Parses args (UTF-8, argv[0] the program name).
TCliParse ParseCommandLine(const std::vector<std::string>& args);
