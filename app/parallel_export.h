// --all -j N: the tables of a database exported by N worker processes at once. Each worker
// has its own dataset, session, record manager and code page (a process shares none of them),
// takes the next table not yet taken, and writes its script alone; the parent gathers each
// table's result and the text its run wrote to standard error, and, for one script holding
// every table, joins the tables' parts in the dictionary's order.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/database_export.h"
#include "platform/commit_behind.h"

// One table's export in a worker: tables[index] alone into script (the script file of a
// one-script run, or the folder of one script per table), what it tells written to err. Its
// script may still be on its way to its place through the worker's commits (result.Commit).
using TTableWork = std::function<TTableResult(size_t index, const std::string& script,
                                              std::ostream& err, TCommitBehind& commits)>;
// Settles a table's script still on its way (SettleTableScript), what it tells written to
// err; a worker calls it once its next table ran, so that the two overlap.
using TTableSettle =
    std::function<void(TTableResult& result, TCommitBehind& commits, std::ostream& err)>;

struct TParallelExport {
    std::vector<TTableResult> Results;  // in the tables' order
    // Each table's standard error text, in the tables' order.
    std::string ErrText;
    // The name a stopped run's script is kept under; empty otherwise.
    std::string PartialScript;
};

// Runs work over every table not left out, jobs processes at a time. sqlName is the script
// (one for all, joined here from the parts in a temporary folder beside it) or, when
// ScriptPerTable, the folder each table's script goes to. Once stopped answers true no
// worker begins another table. A table whose worker died unheard of is "failed".
TParallelExport ExportTablesAtOnce(int jobs, const std::vector<TDatabaseTable>& tables,
                                   const std::string& sqlName, const TTableWork& work,
                                   const TTableSettle& settle,
                                   const std::function<bool()>& stopped = nullptr);
