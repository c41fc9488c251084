// The command line's whole-database modes: --all exports every table of a dictionary in one
// run and ends with the summary on standard error; --list prints the dictionary's tables.
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/database_export.h"
#include "app/export_setup.h"
#include "app/terminal_host.h"
#include "dict/database_tables.h"

// Exit status 0 when every table that has a data file was exported (a table without one, or
// one of the dictionary's own, is left out and named in the summary), 3 when some were
// exported and some failed, 1 when all that ran failed (or the dictionary could not be read),
// 130 when a stop signal ended the run.
// choice: what the user chose for every table (its DictTable is each table's own); show: the
// progress line, or nothing but errors; jobs: the tables exported at once, each by a worker
// process of its own (-j).
int RunDatabaseExport(const TImpInfo& info, const TExportChoice& choice, const std::string& dataDir,
                      TShowChoice show, const TCommandLineEnv& env, int jobs = 1);
// The summary of a database run through the host, the partial script's line after a stop,
// and the exit status.
int ReportDatabaseExport(const std::vector<TTableResult>& results, const std::string& partial,
                         const TImpInfo& info, TTerminalHost& host);
// The number of cores, the tables --all exports at once unless -j says otherwise.
int DefaultJobs();
int RunDatabaseList(const TImpInfo& info, const std::string& dataDir, const TCommandLineEnv& env);

// The list: a heading, then per table its name, data file, "yes" or "no" (found; "-" for the
// dictionary's own tables), columns ("?" when the dictionary cannot say) and records (given
// per table), aligned, then the table's note when it has one (why its file is unreadable or
// why it is left out), "\n" ended.
std::string DatabaseListText(const std::vector<TDatabaseTable>& tables,
                             const std::vector<std::string>& records,
                             const std::vector<std::string>& notes);
