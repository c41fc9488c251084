#include "app/database_export.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/input_files.h"
#include "dataset/btr_dataset.h"
#include "platform/codepage.h"
#include "platform/format.h"

// Passes the run's progress and warnings on; keeps its error for the table's status and drops the
// final message of each table (the summary says it all).
class TDatabaseExport::TTableHost : public IExportHost {
  public:
    explicit TTableHost(IExportHost& outer) : outer_(outer) {}
    std::string Table;
    std::string Reason;  // the record manager's reason in the table's last error, if any
    TTableResult* Result = nullptr;  // the table's, for its totals
    std::function<double()> Seconds;
    double Start = 0;

    void BeginTable(const std::string& table, int64_t total) override {
        Start = Seconds ? Seconds() : 0;
        outer_.BeginTable(table, total);
    }
    void EndTable(const TTableTotals& totals) override {
        Result->Ended = true;
        Result->Totals = totals;
        Result->Seconds = Seconds ? Seconds() - Start : 0;
        outer_.EndTable(totals);
    }
    void ShowProgress(const std::string& text) override { outer_.ShowProgress(text); }
    void ProcessMessages() override { outer_.ProcessMessages(); }
    void ShowMessage(const std::string&, const std::string&, TMessageIcon) override {}
    void ShowError(const std::string& message) override {
        // The reason stands on a line of its own ("\n"; a message's own lines end in CR LF).
        const size_t line = message.find('\n');
        Reason = line == std::string::npos || (line > 0 && message[line - 1] == '\r')
                     ? std::string()
                     : message.substr(line + 1);
        outer_.ShowError(Table + ": " + message);
    }
    void ShowWarning(const std::string& text) override {
        if (Result) ++Result->Warnings;
        outer_.ShowWarning(text);
    }
    void ShowNotice(const std::string& text) override { outer_.ShowNotice(Table + ": " + text); }

    IExportHost& Outer() { return outer_; }

  private:
    IExportHost& outer_;
};

TDatabaseExport::TDatabaseExport(TDataSet& dataSet, IExportHost& host)
    : dataSet_(dataSet),
      tableHost_(std::make_unique<TTableHost>(host)),
      run_(dataSet, *tableHost_) {}

TDatabaseExport::~TDatabaseExport() = default;

IExportHost& TDatabaseExport::TableHost() {
    return *tableHost_;
}

std::vector<TTableResult> TDatabaseExport::Execute(const TImpInfo& info,
                                                   const std::vector<TDatabaseTable>& tables) {
    return Execute(info, tables, tables.size());
}

std::vector<TTableResult> TDatabaseExport::Execute(const TImpInfo& info,
                                                   const std::vector<TDatabaseTable>& tables,
                                                   size_t only) {
    const bool all = only >= tables.size();
    const bool perTable = ScriptPerTable(info.SQLFileName);
    // No script lands on a file the run reads: refused before anything is written.
    TInputFiles inputs;
    inputs.AddDictionary(info.DictionaryFileName);
    for (const TDatabaseTable& table : tables) inputs.Add(table.Path);
    for (size_t i = 0; i < tables.size(); ++i) {
        if (!all && i != only) continue;
        const TDatabaseTable& table = tables[i];
        RefuseScriptOverInput(
            inputs, perTable ? TableScriptName(info.SQLFileName, table.Name) : info.SQLFileName);
    }
    partialScript_.clear();
    if (perTable) {
        std::error_code ec;  // a folder that cannot be made fails each table's script
        std::filesystem::create_directories(AnsiToUtf8(info.SQLFileName), ec);
    } else {
        // One script for all, continued by every table and put in place at the end.
        run_.BeginScript(info.SQLFileName);
    }
    run_.AppendToScript = !perTable;
    // The tables load into one database: their names and their indexes' are kept apart.
    run_.Form.ScriptTables.clear();
    for (const TDatabaseTable& table : tables) run_.Form.ScriptTables.push_back(table.Name);
    const auto nameDataSet = run_.NameDataSet;
    std::vector<TTableResult> results;
    bool stopped = false;
    // A table's script is put in place while the next table is read; a table is settled
    // after the next one ran, the last one at the end.
    TCommitBehind own;
    TCommitBehind& commits = commits_ ? *commits_ : own;
    struct TBehind {
        TExportRun& run;
        TBehind(TExportRun& r, TCommitBehind* c) : run(r) { run.CommitBehind = c; }
        ~TBehind() { run.CommitBehind = nullptr; }
    } behind(run_, perTable ? &commits : nullptr);
    size_t unsettled = tables.size();  // the table whose script is on its way
    const auto settle = [&](size_t i) {
        if (i < results.size()) SettleTableScript(results[i], commits, tableHost_->Outer());
    };
    for (size_t i = 0; i < tables.size(); ++i) {
        const TDatabaseTable& table = tables[i];
        TTableResult result;
        result.Table = table;
        if (stopped || (!all && i != only)) {
            result.Status = "not run";
        } else if (!table.LeftOut.empty()) {
            // Nothing to export: said in the summary, no failure of the run.
            result.Status = "left out: " + table.LeftOut;
        } else {
            TImpInfo one = info;
            one.BaseFileName = table.Path;
            one.ImpTableName = table.Name;
            one.SQLFileName =
                perTable ? TableScriptName(info.SQLFileName, table.Name) : info.SQLFileName;
            tableHost_->Table = table.Name;
            tableHost_->Reason.clear();
            tableHost_->Result = &result;
            tableHost_->Seconds = Seconds;
            // Several tables may read one data file, each by its own columns.
            run_.NameDataSet = [&](TDataSet& ds, const std::string& dictName,
                                   const std::string& baseName) {
                if (auto* b = dynamic_cast<TBDataSet*>(&ds)) b->SetDictTable(table.DictTable);
                if (nameDataSet) nameDataSet(ds, dictName, baseName);
            };
            const bool done = run_.ExecuteReportingErrors(one);
            run_.NameDataSet = nameDataSet;
            if (!done) {
                // A refused file: the reader's reason, which the status alone does not say.
                result.Status = tableHost_->Reason.empty() ? std::string("failed")
                                                           : "failed: " + tableHost_->Reason;
                result.Failed = true;
                result.Totals.Records = run_.RecordCounter();  // read before it failed
            } else {
                result.Records = run_.RecordCounter();
                stopped = run_.StopRequested();
                result.Status = stopped ? "stopped" : "exported";
                if (stopped && perTable) partialScript_ = one.SQLFileName + ".partial";
                result.Commit = run_.ScriptCommit();
            }
        }
        tableHost_->Result = nullptr;
        results.push_back(std::move(result));
        if (!commits_ && results.back().Commit != 0) {
            settle(unsettled);
            unsettled = i;
        }
    }
    settle(unsettled);
    if (dataSet_.Active()) dataSet_.Close();
    if (!perTable) partialScript_ = run_.EndScript(stopped);
    return results;
}

void SettleTableScript(TTableResult& result, TCommitBehind& commits, IExportHost& host) {
    if (result.Commit == 0) return;
    const uint64_t ticket = std::exchange(result.Commit, 0);
    try {
        SettleScript(commits, ticket, result.Totals.Script);
    } catch (const std::exception& e) {
        host.ShowError(result.Table.Name + ": " + e.what());
        result.Status = "failed";
        result.Failed = true;
        result.Ended = false;
        result.Records = -1;
    }
}

bool ScriptPerTable(const std::string& sqlName) {
    if (!sqlName.empty() && sqlName.back() == '/') return true;
    std::error_code ec;
    return std::filesystem::is_directory(AnsiToUtf8(sqlName), ec);
}

std::string TableScriptName(const std::string& folder, const std::string& table) {
    std::string name = table;
    for (char& c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
    if (name.empty() || name == "." || name == "..") name = "_" + name;
    const std::string base = !folder.empty() && folder.back() == '/' ? folder : folder + "/";
    return base + name + ".sql";
}

std::string DatabaseSummaryText(const std::vector<TTableResult>& results) {
    size_t nameWidth = 5, fileWidth = 9, countWidth = 7;  // the headings' lengths
    auto count = [](const TTableResult& r) {
        return r.Records < 0 ? std::string("-") : std::to_string(r.Records);
    };
    for (const TTableResult& r : results) {
        nameWidth = std::max(nameWidth, r.Table.Name.size());
        fileWidth = std::max(fileWidth, r.Table.DataFile.size());
        countWidth = std::max(countWidth, count(r).size());
    }
    auto line = [&](const std::string& name, const std::string& file, const std::string& records,
                    const std::string& status) {
        return name + std::string(nameWidth - name.size() + 2, ' ') + file +
               std::string(fileWidth - file.size() + 2, ' ') +
               std::string(countWidth - records.size(), ' ') + records + "  " + status + "\n";
    };
    std::string text = line("Table", "Data file", "Records", "Status");
    for (const TTableResult& r : results)
        text += line(r.Table.Name, r.Table.DataFile, count(r), r.Status);
    return text;
}

namespace {

// Cells aligned in columns, two blanks apart; the columns in right are right-aligned.
std::string AlignedRows(const std::vector<std::vector<std::string>>& rows,
                        const std::vector<bool>& right) {
    std::vector<size_t> width(right.size(), 0);
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    std::string text;
    for (const auto& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - row[c].size(), ' ');
            if (c > 0) text += "  ";
            text += right[c] ? pad + row[c] : (c + 1 < row.size() ? row[c] + pad : row[c]);
        }
        text += "\n";
    }
    return text;
}

}  // namespace

std::string DatabaseTotalsText(const std::vector<TTableResult>& results) {
    std::vector<std::vector<std::string>> rows = {
        {"Table", "Read", "Written", "Warnings", "Bytes", "Seconds", "Script"}};
    int exported = 0, skipped = 0, failed = 0;
    for (const TTableResult& r : results) {
        if (r.Failed) ++failed;
        if (r.Table.LeftOut == kNoDataFileText) ++skipped;
        if (r.Ended && !r.Failed) ++exported;
        if (!r.Ended && !r.Failed) continue;
        const std::string read = std::to_string(r.Totals.Records);
        rows.push_back({r.Table.Name, read, r.Ended ? read : "-", std::to_string(r.Warnings),
                        r.Ended ? std::to_string(r.Totals.Bytes) : "-", Format("%.1f", r.Seconds),
                        r.Ended ? r.Totals.Script : "-"});
    }
    std::string text =
        rows.size() > 1 ? AlignedRows(rows, {false, true, true, true, true, true, false}) : "";
    return text + Format("%d table%s exported, %d skipped (no data file), %d failed\n", exported,
                         exported == 1 ? "" : "s", skipped, failed);
}
