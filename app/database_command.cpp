#include "app/database_command.h"

#include <algorithm>
#include <ostream>
#include <thread>

#include "app/database_export.h"
#include "app/input_files.h"
#include "app/parallel_export.h"
#include "app/progress_meter.h"
#include "btrieve/btr_error.h"
#include "dataset/btr_dataset.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "recman/btrieve_codes.h"

namespace {

// Progress per table on a terminal, the stop signal, errors and warnings on standard error.
class TDatabaseHost : public IExportHost {
  public:
    explicit TDatabaseHost(const TCommandLineEnv& env) : env_(env), meter_(env.Seconds) {}
    TExportRun* Run = nullptr;

    void BeginTable(const std::string& table, int64_t total) override {
        EndProgress();
        meter_.Start(AnsiToUtf8(table), total);
    }
    void ShowProgress(const std::string& text) override {
        if (env_.ErrIsTerminal) shown_ |= DrawProgress(*env_.Err, meter_, std::stoll(text));
    }
    void ProcessMessages() override {
        if (StopSignalled() && Run) Run->RequestStop();
    }
    void ShowMessage(const std::string&, const std::string&, TMessageIcon) override {}
    void ShowError(const std::string& message) override {
        EndProgress();
        WriteErrorLines(env_, message);
    }
    void ShowWarning(const std::string& text) override { ShowNotice(text); }
    void ShowNotice(const std::string& text) override {
        EndProgress();
        *env_.Err << AnsiToUtf8(text) << "\n" << std::flush;
    }
    void EndProgress() {
        if (shown_) *env_.Err << "\n" << std::flush;
        shown_ = false;
    }

  private:
    const TCommandLineEnv& env_;
    bool shown_ = false;
    TProgressMeter meter_;
};

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

// One table in a worker of -j: its own dataset and run, what it tells written to err.
TTableResult ExportOneTable(const TImpInfo& info, const TExportChoice& choice,
                            const TCommandLineEnv& env, const std::vector<TDatabaseTable>& tables,
                            size_t index, const std::string& script, std::ostream& err) {
    TCommandLineEnv own = env;
    own.Err = &err;
    own.ErrIsTerminal = false;  // no progress lines from the workers
    std::unique_ptr<TDataSet> dataSet = own.MakeDataSet();
    TDatabaseHost host(own);
    TDatabaseExport database(*dataSet, host);
    TExportRun& run = database.Run();
    host.Run = &run;
    SetUpExportRun(run, info, choice);
    run.Clock = own.Clock;
    SetBtrieveErrorDisplay([&](const std::string& caption, const std::string& message) {
        err << AnsiToUtf8(caption) << ": " << AnsiToUtf8(message) << "\n";
    });
    TImpInfo one = info;
    one.SQLFileName = script;
    return database.Execute(one, tables, index)[index];
}

}  // namespace

int RunDatabaseExport(const TImpInfo& info, const TExportChoice& choice, const std::string& dataDir,
                      const TCommandLineEnv& env, int jobs) {
    SetOemCodePage(info.OemCodePage);
    const std::vector<TDatabaseTable> tables = ListDatabaseTables(info.DictionaryFileName, dataDir);
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
            [&](size_t index, const std::string& script, std::ostream& err) {
                return ExportOneTable(info, choice, env, tables, index, script, err);
            },
            [] { return StopSignalled(); });
        *env.Err << done.ErrText;
        return ReportDatabaseExport(done.Results, done.PartialScript, info, env);
    }
    std::unique_ptr<TDataSet> dataSet = env.MakeDataSet();
    TDatabaseHost host(env);
    TDatabaseExport database(*dataSet, host);
    TExportRun& run = database.Run();
    host.Run = &run;
    SetUpExportRun(run, info, choice);
    run.Clock = env.Clock;
    const TBtrieveErrorDisplay previous =
        SetBtrieveErrorDisplay([&](const std::string& caption, const std::string& message) {
            host.EndProgress();
            *env.Err << AnsiToUtf8(caption) << ": " << AnsiToUtf8(message) << "\n" << std::flush;
        });
    ClearStopSignal();
    std::vector<TTableResult> results;
    try {
        results = database.Execute(info, tables);
    } catch (...) {
        SetBtrieveErrorDisplay(previous);
        throw;
    }
    SetBtrieveErrorDisplay(previous);
    host.EndProgress();
    return ReportDatabaseExport(results, database.PartialScript(), info, env);
}

int ReportDatabaseExport(const std::vector<TTableResult>& results, const std::string& partial,
                         const TImpInfo& info, const TCommandLineEnv& env) {
    *env.Err << AnsiToUtf8(DatabaseSummaryText(results)) << std::flush;
    if (!partial.empty()) {
        // The records the partial script holds: the stopped table's, or every table's.
        const bool perTable = ScriptPerTable(info.SQLFileName);
        int32_t records = 0;
        for (const TTableResult& r : results)
            if (r.Records > 0 && (!perTable || r.Status == "stopped")) records += r.Records;
        *env.Err << AnsiToUtf8(Format("Extract aborted! The partial script is %s, %d records",
                                      partial.c_str(), records))
                 << "\n"
                 << std::flush;
    }
    const bool failed =
        std::any_of(results.begin(), results.end(), [](const TTableResult& r) { return r.Failed; });
    if (failed) return kExitError;
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
