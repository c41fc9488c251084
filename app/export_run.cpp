#include "app/export_run.h"

#include <cstring>

#include "app/decode_plan.h"
#include "app/input_files.h"
#include "app/script_table_name.h"
#include "platform/codepage.h"

#include "platform/exception.h"
#include "platform/format.h"

TExportRun::TExportRun(TDataSet& dataSet, IExportHost& host) : dataSet_(dataSet), host_(host) {}

void TExportRun::PutLine(std::string_view text) {
    const size_t length = text.size() + lineBreak_.size();
    char* p = block_.Room(length);
    if (!text.empty()) std::memcpy(p, text.data(), text.size());
    std::memcpy(p + text.size(), lineBreak_.data(), lineBreak_.size());
    block_.SetEnd(p + length);
    if (block_.size() >= kBlockBytes) FlushLines();
}

void TExportRun::EndLine() {
    block_.Append(lineBreak_);
    if (block_.size() >= kBlockBytes) FlushLines();
}

void TExportRun::FlushLines() {
    if (block_.size() > 0) file_.Write(block_.View());
    block_.clear();
}

void TExportRun::Execute(const TImpInfo& given) {
    if (running_) return;
    struct TRunning {
        bool& flag;
        explicit TRunning(bool& f) : flag(f) { flag = true; }
        ~TRunning() { flag = false; }
    } running(running_);
    // A form that cannot be written stops the run before anything is opened.
    CheckScriptForm(Form, Encoding);
    if (!ToStandardOutput) RefuseScriptOverInput(InputFilesOf(given), given.SQLFileName);
    dialect_ = MakeSqlDialect(Form, Encoding);
    lineBreak_ = dialect_->LineBreak();
    block_.clear();
    block_.Reserve(kBlockBytes + kBlockBytes / 4);
    stopRequested_ = false;
    records_ = 0;
    commit_ = 0;

    if (dataSet_.Active()) dataSet_.Close();
    SetOemCodePage(given.OemCodePage);
    if (NameDataSet) NameDataSet(dataSet_, given.DictionaryFileName, given.BaseFileName);
    dataSet_.Open();
    // Every INSERT names a last column; a source without columns has nothing to export.
    if (dataSet_.FieldCount() == 0)
        throw Exception(Format("No fields to export in %s", given.BaseFileName.c_str()));
    TImpInfo info = given;
    info.ImpTableName = ScriptTableName(given);

    dialect_->CheckNames(info.ImpTableName, dataSet_.FieldList());
    if (const std::string notice = dataSet_.OrderNotice(); !notice.empty())
        host_.ShowNotice(notice);
    const int32_t held = dataSet_.RecordCount();  // -1: the dataset cannot count
    host_.BeginTable(info.ImpTableName, held);

    std::string partial;  // the name a stopped run's script is kept under
    uint64_t bytes = 0;   // the script's bytes before this table
    try {
        if (ToStandardOutput)
            file_.UseStandardOutput();
        else if (!AppendToScript)
            file_.Rewrite(info.SQLFileName);
        bytes = file_.BytesWritten();
        WriteRecords(info);
        if (!stopRequested_) CheckRecordCount(held);
        FlushLines();
        block_ = TScriptText();
        bytes = file_.BytesWritten() - bytes;
        if (!AppendToScript) {
            if (stopRequested_)
                partial = file_.ClosePartial();
            else if (CommitBehind && !ToStandardOutput)
                commit_ = file_.CloseBehind(*CommitBehind);
            else
                file_.Close();
        }
    } catch (...) {
        // A failed run leaves no script: an earlier one stays as it was. A continued
        // script keeps what earlier batches wrote.
        if (!AppendToScript) file_.Discard();
        block_ = TScriptText();
        throw;
    }

    host_.EndTable({records_, bytes,
                    ToStandardOutput  ? std::string("standard output")
                    : partial.empty() ? info.SQLFileName
                                      : partial});
    if (stopRequested_)
        host_.ShowMessage("Confirmation",
                          partial.empty() ? std::string("Extract aborted!")
                                          : Format("Extract aborted! The partial script is "
                                                   "%s, %d records",
                                                   partial.c_str(), records_),
                          miWarning);
    else
        host_.ShowMessage(
            "Confirmation",
            Format("Extract completed successfuly!\r\nRecords imported: %d", records_),
            miInformation);
}

bool TExportRun::ExecuteReportingErrors(const TImpInfo& info) {
    try {
        Execute(info);
        return true;
    } catch (const std::exception& e) {
        host_.ShowError(e.what());
        return false;
    }
}

void TExportRun::WriteRecords(const TImpInfo& info) {
    struct TReadAhead {
        TDataSet& dataSet;
        TReadAhead(TDataSet& d, bool on) : dataSet(d) { dataSet.SetReadAhead(on); }
        ~TReadAhead() {
            try {
                dataSet.SetReadAhead(false);
            } catch (...) {  // the file is closed after a failure anyway
            }
        }
    } readAhead(dataSet_, UseReadAhead);
    dataSet_.First();
    int32_t commitCounter = 0, progressCounter = 0;
    const TFieldList& fields = dataSet_.FieldList();
    ISqlDialect& dialect = *dialect_;
    std::vector<TSqlKey> keys = KeysOf ? KeysOf(dataSet_) : std::vector<TSqlKey>();
    const int32_t walked = dataSet_.WalkKey();
    for (TSqlKey& key : keys) key.Walked = walked >= 0 && key.Number == walked;
    dialect.SetKeys(keys);
    dialect.Start(*this, info.ImpTableName, fields, info.CreateDDL, Clock());
    std::unique_ptr<TDecodePlan> plan;
    TLiteralStyle style;
    if (UseDecodePlan && dialect.LiteralStyle(style))
        plan = std::make_unique<TDecodePlan>(dataSet_, fields, style);
    struct TPlanUse {
        ISqlDialect& dialect;
        TPlanUse(ISqlDialect& d, const TDecodePlan* p) : dialect(d) { dialect.UsePlan(p); }
        ~TPlanUse() { dialect.UsePlan(nullptr); }
    } planUse(dialect, plan.get());

    while (!dataSet_.Eof()) {
        ++records_;
        ++commitCounter;
        ++progressCounter;
        dialect.Record(*this, fields, records_);
        if (info.CommitPeriod > 0 && commitCounter >= info.CommitPeriod) {
            dialect.EndPeriod(*this);
            commitCounter = 0;
        }
        if (progressCounter >= 100) {
            progressCounter = 0;
            host_.ShowProgress(std::to_string(records_));
            host_.ProcessMessages();
        }
        if (stopRequested_) break;
        dataSet_.Next();
    }
    if (stopRequested_)
        dialect.Stop(*this);
    else
        dialect.Finish(*this);
    if (KeysOf && !stopRequested_) dialect.Keys(*this, info.ImpTableName, keys);
    for (const std::string& warning : dialect.Warnings()) host_.ShowWarning(warning);
}

void TExportRun::CheckRecordCount(int32_t held) {
    if (held >= 0 && held != records_)
        throw Exception(Format("Records written: %d, the file holds %d", records_, held));
}
