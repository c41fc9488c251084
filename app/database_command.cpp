#include "app/database_command.h"

#include <algorithm>
#include <ostream>
#include <thread>

#include "app/database_export.h"
#include "app/input_files.h"
#include "app/parallel_export.h"
#include "app/terminal_host.h"
#include "btrieve/btr_error.h"
#include "dataset/btr_dataset.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace {

// Why a data file could not be opened, on one line: the status and the record manager's
// reason, or the error's own first line.
std::string UnreadableNote(const std::exception& e) {
    if (const auto* b = dynamic_cast<const EBtrieve*>(&e); b && b->Status != recman::kOk)
        return BtrStatusText(b->Status) + (b->Detail.empty() ? "" : ": " + b->Detail);
    const std::string text = e.what();
    return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace

int DefaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

namespace {

// The export of a dictionary's tables as the user chose it, on the host: its dataset, and for
// its life the dictionary's warnings and the Btrieve error box on the host.
struct TDatabaseRun {
    TDatabaseRun(const TCommandLineEnv& env, TTerminalHost& host, const TImpInfo& info,
                 const TExportChoice& choice)
        : DataSet(env.MakeDataSet()),
          Database(*DataSet, host),
          Warnings(Database.TableHost()),
          Errors(host, env) {
        Database.Seconds = env.Seconds;
        host.Run = &Database.Run();
        SetUpExportRun(Database.Run(), info, choice);
        Database.Run().Clock = env.Clock;
    }
    std::unique_ptr<TDataSet> DataSet;
    TDatabaseExport Database;
    const TTerminalWarnings Warnings;
    const TBtrieveErrorScope Errors;
};

// What a worker of -j tells: on err, no progress lines.
TCommandLineEnv WorkerEnv(const TCommandLineEnv& env, std::ostream& err) {
    TCommandLineEnv own = env;
    own.Err = &err;
    own.ErrIsTerminal = false;
    return own;
}

// One table in a worker of -j: its own dataset and run, what it tells written to err, its
// script left on its way through commits.
TTableResult ExportOneTable(const TImpInfo& info, const TExportChoice& choice,
                            const TCommandLineEnv& env, const std::vector<TDatabaseTable>& tables,
                            size_t index, const std::string& script, std::ostream& err,
                            TCommitBehind& commits) {
    const TCommandLineEnv own = WorkerEnv(env, err);
    TTerminalHost host(own, TShowChoice{});
    TDatabaseRun run(own, host, info, choice);
    run.Database.UseCommits(&commits);
    TImpInfo one = info;
    one.SQLFileName = script;
    return run.Database.Execute(one, tables, index)[index];
}

}  // namespace

int RunDatabaseExport(const TImpInfo& info, const TExportChoice& choice, const std::string& dataDir,
                      TShowChoice show, const TCommandLineEnv& env, int jobs) {
    SetOemCodePage(info.OemCodePage);
    const std::vector<TDatabaseTable> tables = ListDatabaseTables(info.DictionaryFileName, dataDir);
    TTerminalHost host(env, show);
    const auto toRun = std::count_if(tables.begin(), tables.end(),
                                     [](const TDatabaseTable& t) { return t.LeftOut.empty(); });
    if (jobs > 1 && toRun > 1) {
        // The same refusal as one run's, before any worker writes.
        TInputFiles inputs;
        inputs.AddDictionary(info.DictionaryFileName);
        for (const TDatabaseTable& table : tables) inputs.Add(table.Path);
        const bool perTable = ScriptPerTable(info.SQLFileName);
        for (const TDatabaseTable& table : tables)
            RefuseScriptOverInput(inputs, perTable ? TableScriptName(info.SQLFileName, table.Name)
                                                   : info.SQLFileName);
        ClearStopSignal();
        const TParallelExport done = ExportTablesAtOnce(
            jobs, tables, info.SQLFileName,
            [&](size_t index, const std::string& script, std::ostream& err,
                TCommitBehind& commits) {
                return ExportOneTable(info, choice, env, tables, index, script, err, commits);
            },
            [&](TTableResult& result, TCommitBehind& commits, std::ostream& err) {
                const TCommandLineEnv own = WorkerEnv(env, err);
                TTerminalHost host(own, TShowChoice{});
                SettleTableScript(result, commits, host);
            },
            [] { return StopSignalled(); });
        *env.Err << done.ErrText;
        return ReportDatabaseExport(done.Results, done.PartialScript, info, host);
    }
    TDatabaseRun run(env, host, info, choice);
    ClearStopSignal();
    const std::vector<TTableResult> results = run.Database.Execute(info, tables);
    host.EndProgress();
    return ReportDatabaseExport(results, run.Database.PartialScript(), info, host);
}

int ReportDatabaseExport(const std::vector<TTableResult>& results, const std::string& partial,
                         const TImpInfo& info, TTerminalHost& host) {
    std::string summary = DatabaseSummaryText(results) + "\n" + DatabaseTotalsText(results);
    summary.pop_back();  // Say ends the line
    host.Say(AnsiToUtf8(summary));
    if (!partial.empty()) {
        // The records the partial script holds: the stopped table's, or every table's.
        const bool perTable = ScriptPerTable(info.SQLFileName);
        int32_t records = 0;
        for (const TTableResult& r : results)
            if (r.Records > 0 && (!perTable || r.Status == "stopped")) records += r.Records;
        host.Say(AnsiToUtf8(Format("Extract aborted! The partial script is %s, %d records",
                                   partial.c_str(), records)));
    }
    const bool failed =
        std::any_of(results.begin(), results.end(), [](const TTableResult& r) { return r.Failed; });
    const bool exported = std::any_of(results.begin(), results.end(),
                                      [](const TTableResult& r) { return r.Ended && !r.Failed; });
    if (failed) return exported ? kExitPartial : kExitError;
    const bool stopped = std::any_of(results.begin(), results.end(),
                                     [](const TTableResult& r) { return r.Status == "stopped"; });
    return stopped ? kExitStopped : kExitDone;
}

int RunDatabaseList(const TImpInfo& info, const std::string& dataDir, const TCommandLineEnv& env) {
    SetOemCodePage(info.OemCodePage);
    const std::vector<TDatabaseTable> tables = ListDatabaseTables(info.DictionaryFileName, dataDir);
    std::vector<std::string> records, notes;
    std::unique_ptr<TDataSet> dataSet = env.MakeDataSet();
    for (const TDatabaseTable& table : tables) {
        notes.push_back(table.LeftOut == kNoDataFileText ? "" : table.LeftOut);
        if (!table.LeftOut.empty()) {
            records.push_back("-");
            continue;
        }
        try {
            if (dataSet->Active()) dataSet->Close();
            if (auto* b = dynamic_cast<TBDataSet*>(dataSet.get())) b->SetDictTable(table.DictTable);
            if (env.NameDataSet) env.NameDataSet(*dataSet, info.DictionaryFileName, table.Path);
            dataSet->Open();
            const int64_t count = env.TotalRecords ? env.TotalRecords(*dataSet) : -1;
            records.push_back(count < 0 ? "?" : std::to_string(count));
            dataSet->Close();
        } catch (const std::exception& e) {
            records.push_back("unreadable");
            notes.back() = UnreadableNote(e);
        }
    }
    *env.Out << AnsiToUtf8(DatabaseListText(tables, records, notes)) << std::flush;
    return kExitDone;
}

std::string DatabaseListText(const std::vector<TDatabaseTable>& tables,
                             const std::vector<std::string>& records,
                             const std::vector<std::string>& notes) {
    const std::vector<std::string> heading = {"Table", "Data file", "Found", "Columns", "Records"};
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < tables.size(); ++i) {
        const TDatabaseTable& t = tables[i];
        rows.push_back({t.Name, t.DataFile,
                        t.LeftOut == kDictionaryTableText ? "-"
                        : t.Path.empty()                  ? "no"
                                                          : "yes",
                        t.Columns < 0 ? "?" : std::to_string(t.Columns),
                        i < records.size() ? records[i] : "?"});
    }
    std::vector<size_t> width;
    for (const std::string& h : heading) width.push_back(h.size());
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    // Names left-aligned, counts right-aligned, two blanks between columns.
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t c = 0; c < cells.size(); ++c) {
            const std::string pad(width[c] - cells[c].size(), ' ');
            const bool right = c >= 3;
            if (c > 0) text += "  ";
            if (right)
                text += pad + cells[c];
            else
                text += c + 1 < cells.size() ? cells[c] + pad : cells[c];
        }
        return text + "\n";
    };
    // The notes last, as they are, after the row's own line.
    auto noted = [&](std::string text, size_t i) {
        if (i >= notes.size() || notes[i].empty()) return text;
        text.pop_back();
        return text + "  " + notes[i] + "\n";
    };
    std::string text = line(heading);
    for (size_t i = 0; i < rows.size(); ++i) text += noted(line(rows[i]), i);
    return text;
}
