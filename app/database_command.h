// The command line's whole-database modes: --all exports every table of a dictionary in one
// run and ends with the summary on standard error; --list prints the dictionary's tables.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/database_tables.h"

// Exit status 0 when every table was exported, 1 when any failed (or the dictionary could
// not be read), 130 when a stop signal ended the run.
int RunDatabaseExport(const TImpInfo& info, const TScriptForm& form, TScriptEncoding encoding,
                      const std::string& dataDir, const TCommandLineEnv& env);
int RunDatabaseList(const TImpInfo& info, const std::string& dataDir, const TCommandLineEnv& env);

// The list: a heading, then per table its name, data file, "yes" or "no" (found), columns
// ("?" when the dictionary cannot say) and records (given per table), aligned, "\n" ended.
std::string DatabaseListText(const std::vector<TDatabaseTable>& tables,
                             const std::vector<std::string>& records);
