// The export run: walks the dataset from its first record to its end (every record of the
// file, or the run fails) and writes the SQL script in the dialect of its target (header, optional
// table definition, the records' data statements, the commit of each period). It knows nothing of
// windows: a host supplies the progress display, the processing of pending requests, the final
// message box and the error display.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/script_file.h"
#include "app/script_text.h"
#include "app/settings.h"
#include "app/sql_dialect.h"
#include "dataset/dataset.h"
#include "platform/datetime.h"

enum TMessageIcon { miInformation, miWarning };

// What a table's run gave, for the closing summary.
struct TTableTotals {
    int64_t Records = 0;  // read from the file and written to the script
    uint64_t Bytes = 0;   // of the script, this table's part
    std::string Script;   // where they went (system text): the script, NAME.partial, or
                          // "standard output"
};

// What the run needs of its surroundings.
class IExportHost {
  public:
    virtual ~IExportHost() = default;
    // A table's records are about to be written: its name and the records its file holds
    // (negative when it cannot say), for the progress display; nothing by default.
    virtual void BeginTable(const std::string& /*table*/, int64_t /*total*/) {}
    // The record counter, in decimal, for the second status panel.
    virtual void ShowProgress(const std::string& text) = 0;
    // Lets pending user requests run (the stop request among them).
    virtual void ProcessMessages() = 0;
    // The final message box: caption, text (lines separated by CR LF), icon.
    virtual void ShowMessage(const std::string& caption, const std::string& text,
                             TMessageIcon icon) = 0;
    // The application's display of an error that ended a handler.
    virtual void ShowError(const std::string& message) = 0;
    // A warning of the run at its end (values written as NULL); a message box by default.
    virtual void ShowWarning(const std::string& text) { ShowMessage("Warning", text, miWarning); }
    // One line the user should read while the run goes on (the order records come in).
    virtual void ShowNotice(const std::string& text) = 0;
    // A table's records are written (or a stop ended them), before the final message;
    // nothing by default.
    virtual void EndTable(const TTableTotals& /*totals*/) {}
};

class TExportRun : public IScriptLines {
  public:
    // The script is written in blocks of about this many bytes.
    static constexpr size_t kBlockBytes = size_t{1} << 20;

    TExportRun(TDataSet& dataSet, IExportHost& host);

    // Points the closed dataset at the dictionary and the data file (DictName, BaseName).
    std::function<void(TDataSet&, const std::string& dictName, const std::string& baseName)>
        NameDataSet;
    // The clock of the header line; tests fix it.
    std::function<TDateTime()> Clock = Now;
    // The script's bytes: as the system holds them (CP1251), or converted to UTF-8.
    TScriptEncoding Encoding = seAnsi;
    // The script is continued instead of replaced: the one BeginScript opened, left open by
    // the run (every table of a database into one script, each with its own header).
    bool AppendToScript = false;
    // The script of the runs with AppendToScript: opened (as a temporary beside fileName)
    // before the first of them, put in place by EndScript after the last, or kept as
    // NAME.partial after a stop (EndScript answers that name). A script never ended is dropped.
    void BeginScript(const std::string& fileName) { file_.Rewrite(fileName); }
    std::string EndScript(bool stopped) {
        if (stopped) return file_.ClosePartial();
        file_.Close();
        return {};
    }
    // The target, statement forms and table options of the script.
    TScriptForm Form;
    // The values of the usual types are written by a decode plan made for the file and the
    // target, straight from the record's bytes; false writes every value through its field
    // (the same script, slower).
    bool UseDecodePlan = true;
    // The records come many per call of the record manager where the file allows it; false
    // reads them one by one (the same script, slower).
    bool UseReadAhead = true;
    // The script goes to standard output instead of SQLFileName.
    bool ToStandardOutput = false;
    // The keys the script states after the data (in the target's dialect); none when empty.
    std::function<std::vector<TSqlKey>(TDataSet&)> KeysOf;
    // When set, a finished script is put in place by this behind the caller, who goes on (with
    // the next table) and settles it (SettleScript with ScriptCommit) before telling it
    // written: for hosts that tell nothing at the end of a run.
    TCommitBehind* CommitBehind = nullptr;

    // The run over the settings; errors end it and propagate (the script is dropped, an
    // earlier one left as it was; a stopped run keeps its script as NAME.partial). A start
    // requested while a run is in progress (from a progress point) is ignored.
    void Execute(const TImpInfo& info);
    bool Running() const { return running_; }
    // Execute, with an error shown by the host's error display; false when one ended it.
    bool ExecuteReportingErrors(const TImpInfo& info);

    // The "Stop extract" action: the loop ends after the current record.
    void RequestStop() { stopRequested_ = true; }
    bool StopRequested() const { return stopRequested_; }
    // Records written by the last run.
    int32_t RecordCounter() const { return records_; }
    // The ticket of the last run's script with CommitBehind; 0 when it was put in place or
    // kept by the run itself.
    uint64_t ScriptCommit() const { return commit_; }

    // The script's lines, gathered and written in blocks of kBlockBytes.
    void PutLine(std::string_view text) override;
    TScriptText* LineInPlace() override { return &block_; }
    void EndLine() override;
    // Writes what was gathered.
    void FlushLines();

  private:
    void WriteRecords(const TImpInfo& info);
    // Every record the file holds (held, as it reported before the walk; -1 when it cannot
    // count) must have been written: a run that wrote fewer or more fails naming both numbers.
    void CheckRecordCount(int32_t held);

    TDataSet& dataSet_;
    IExportHost& host_;
    TScriptFile file_;
    std::unique_ptr<ISqlDialect> dialect_;
    std::string lineBreak_ = "\r\n";
    TScriptText block_;  // the lines gathered for the next write
    std::string line_;   // the INSERT being built
    bool stopRequested_ = false;
    bool running_ = false;
    int32_t records_ = 0;
    uint64_t commit_ = 0;
};
