// TMainFrm's export: one data file, or the chosen tables of a whole database through the same
// database export the command line's --all uses, with the window alive while it runs.
#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <algorithm>
#include <exception>

#include "app/database_export.h"
#include "app/export_run.h"
#include "app/gui/data_module.h"
#include "app/gui/error_display.h"
#include "app/gui/main_form.h"
#include "app/gui/window_host.h"
#include "app/lock_wait.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"

void TMainFrm::actRunExecute() {
    // A start pressed at a progress point of a running export would pull the dataset away
    // from under it; it is ignored.
    if (Running()) return;
    ControlsToInfo(ImpInfo);
    // The run works on its own copy: a load at a progress point cannot change it midway.
    const TImpInfo info = ImpInfo;
    const TExportChoice choice = ControlsToChoice(info);
    if (WholeDatabase())
        ExportDatabase(info, choice);
    else
        ExportOneFile(info, choice);
}

void TMainFrm::RunExport(TExportRun& run, const std::function<void()>& execute) {
    run.Clock = Clock;
    FStopRequested = false;
    run_ = &run;
    actRun->setEnabled(false);
    actBreak->setEnabled(true);
    // A file another process holds is waited for with the window alive: the wait is told in
    // the hint panel and ends at the stop button.
    const TLockWaitScope lockWait(
        [this](const std::string& fileName) {
            SetPanelText(0, fileName + ": " +
                                FromQt(tr("locked by another process; waiting, Stop export "
                                          "to stop")));
            QCoreApplication::processEvents();
        },
        [this] {
            QCoreApplication::processEvents();
            return FStopRequested;
        },
        -1);
    std::exception_ptr failure;
    try {
        execute();
    } catch (...) {
        failure = std::current_exception();
    }
    run_ = nullptr;
    // The bar ends at the records the last table gave.
    if (!failure) ShowRecordProgress(run.RecordCounter());
    actRun->setEnabled(true);
    actBreak->setEnabled(false);
    if (!FCloseAfterRun) {
        if (failure) std::rethrow_exception(failure);
        return;
    }
    // The window was closed during the run: the run's error is shown here, while the
    // application is still running, and then the window closes.
    FCloseAfterRun = false;
    if (failure) RunGuarded([&failure] { std::rethrow_exception(failure); });
    close();
}

void TMainFrm::ExportOneFile(const TImpInfo& info, const TExportChoice& choice) {
    TWindowHost host(*this);
    TExportRun run(*dm_.BDataSet, host);
    SetUpExportRun(run, info, choice);
    RunExport(run, [&] { run.Execute(info); });
}

void TMainFrm::ExportDatabase(const TImpInfo& info, const TExportChoice& choice) {
    if (info.DictionaryFileName.empty())
        throw Exception(FromQt(tr("No dictionary given: the tables are the dictionary's")));
    if (info.SQLFileName.empty())
        throw Exception(
            FromQt(tr("No SQL script given: a file for every table, or a folder "
                      "ending in / for a script per table")));
    // The list made for another dictionary or folder, or none yet: made now, every table
    // that has a data file chosen.
    const std::string listedFor = info.DictionaryFileName + '\n' + FromQt(edtDataDir->text());
    if (listedFor != listedFor_) actListExecute();
    const std::vector<TDatabaseTable> tables = ChosenTables();
    if (tables.empty()) throw Exception(FromQt(tr("No table chosen in the list")));
    SetOemCodePage(info.OemCodePage);
    TWindowHost host(*this);
    TDatabaseExport database(*dm_.BDataSet, host);
    SetUpExportRun(database.Run(), info, choice);
    std::vector<TTableResult> results;
    RunExport(database.Run(), [&] { results = database.Execute(info, tables); });
    std::string text = DatabaseSummaryText(results);
    if (!database.PartialScript().empty())
        text +=
            Format("Extract aborted! The partial script is %s", database.PartialScript().c_str());
    const bool failed =
        std::any_of(results.begin(), results.end(), [](const TTableResult& r) { return r.Failed; });
    ShowMessageBox(FromQt(tr("Export finished")), text, failed ? miWarning : miInformation);
}
