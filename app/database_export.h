// Every table of a database exported in one run: the export run once per table, into one
// script or one script per table, a table that fails reported and the others still exported,
// and the summary of what each table gave.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/export_run.h"
#include "dict/database_tables.h"

struct TTableResult {
    TDatabaseTable Table;
    int32_t Records = -1;  // -1: none written
    // "exported", "left out: <why>" (TDatabaseTable::LeftOut), "failed", "stopped", "not run"
    std::string Status;
    bool Failed = false;
    // What the run told at the table's end (none for a table not run or failed), its
    // warnings and seconds.
    bool Ended = false;
    TTableTotals Totals;
    int Warnings = 0;
    double Seconds = 0;
    // The ticket of its script while it is put in place behind the run (TCommitBehind), 0
    // once settled: until then "exported" is not yet told.
    uint64_t Commit = 0;
};

class TDatabaseExport {
  public:
    TDatabaseExport(TDataSet& dataSet, IExportHost& host);
    ~TDatabaseExport();

    // The run that exports each table in turn (its NameDataSet, Clock and Encoding are the
    // ones every table gets; a stop request ends the database run after the current table).
    TExportRun& Run() { return run_; }
    // The host each table's run talks to: what it is told is the current table's (a warning
    // counted in its result).
    IExportHost& TableHost();
    // Seconds of a steady clock, for each table's time; tests fix it.
    std::function<double()> Seconds;

    // Exports the tables found. info gives the dictionary, the script (a file, or a folder
    // for one script per table, see ScriptPerTable), the commit period, the table definition
    // option and the code page. A table's error goes to the host's error display as
    // "<table>: <message>"; the rest go on.
    std::vector<TTableResult> Execute(const TImpInfo& info,
                                      const std::vector<TDatabaseTable>& tables);
    // The same for tables[only] alone (the others "not run"), their names still kept apart
    // from its own: one table of a run that exports several at once.
    std::vector<TTableResult> Execute(const TImpInfo& info,
                                      const std::vector<TDatabaseTable>& tables, size_t only);
    // After a stopped Execute, the name its partial script is kept under; else empty.
    const std::string& PartialScript() const { return partialScript_; }
    // One script per table is put in place behind the next table's run; Execute settles each
    // before it returns. With commits given, Execute leaves its tables to settle
    // (SettleTableScript) to the caller, who goes on with another Execute meanwhile.
    void UseCommits(TCommitBehind* commits) { commits_ = commits; }

  private:
    class TTableHost;
    TDataSet& dataSet_;
    std::unique_ptr<TTableHost> tableHost_;
    TExportRun run_;
    std::string partialScript_;
    TCommitBehind* commits_ = nullptr;
};

// Waits for the script of a table put in place behind its run (result.Commit). One that could
// not be put in place fails the table ("failed", nothing written), its error shown by host as
// "<table>: <message>".
void SettleTableScript(TTableResult& result, TCommitBehind& commits, IExportHost& host);

// True when the script name is a folder: it ends with "/" or names an existing folder.
bool ScriptPerTable(const std::string& sqlName);
// The script of one table in that folder: the table name ("/" and control characters as "_")
// with ".sql".
std::string TableScriptName(const std::string& folder, const std::string& table);

// The summary, one line per table under a heading, columns aligned, lines ended by "\n":
//   Table    Data file    Records  Status
//   clients  clients.dbt        3  exported
std::string DatabaseSummaryText(const std::vector<TTableResult>& results);
// What the tables that ran wrote, aligned under a heading ("-" where a table wrote nothing):
//   Table    Read  Written  Warnings  Bytes  Seconds  Script
//   clients     3        3         0    181      0.0  out/clients.sql
// then "N tables exported, M skipped (no data file), K failed", lines ended by "\n".
std::string DatabaseTotalsText(const std::vector<TTableResult>& results);
