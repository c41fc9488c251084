#include "app/command_line.h"

#include <signal.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string_view>

#include "app/cli_options.h"
#include "app/database_command.h"
#include "app/english_lines.h"
#include "app/export_setup.h"
#include "app/input_files.h"
#include "app/lock_wait.h"
#include "app/settings.h"
#include "app/terminal_host.h"
#include "dataset/btr_dataset.h"
#include "dict/ddf_dictionary.h"
#include "dict/dictionary_kind.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "recman/engine.h"

#ifndef QUORVATH_VERSION
#define QUORVATH_VERSION "0.0.0"
#endif

namespace {

volatile std::sig_atomic_t gStopSignal = 0;  // stop signals taken since the last clear

// The first signal asks the run to stop; the second is taken too, so that the stop still
// writes its final COMMIT WORK; from then on the signals end the program the usual way.
extern "C" void OnStopSignal(int) {
    gStopSignal = gStopSignal + 1;
    if (gStopSignal >= 2) {
        struct sigaction sa {};
        sa.sa_handler = SIG_DFL;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
    }
}

// The commit period as typed: blanks around the number are allowed.
int32_t CommitPeriodArgument(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) return StrToInt(text);
    try {
        return StrToInt(text.substr(first, last - first + 1));
    } catch (const EConvertError&) {
        return StrToInt(text);  // the error names the text as it was typed
    }
}

// A text typed by the user, into the system's code page; refuses what CP1251 cannot hold.
std::string Argument(const std::string& option, const std::string& utf8) {
    bool ok = true;
    std::string ansi = Utf8ToAnsi(utf8, &ok);
    if (!ok)
        throw EConvertError(Format("The value of %s holds characters outside code page 1251: %s",
                                   option.c_str(), ansi.c_str()));
    return ansi;
}

}  // namespace

void WriteErrorLines(const TCommandLineEnv& env, const std::string& message) {
    // A refused file's message carries the record manager's reason on a line of its own.
    *env.Err << AnsiToUtf8(TerminalLines(message)) << "\n";
    if (env.EnglishStatusLines)
        for (const std::string& line : EnglishLinesOf(message)) *env.Err << line << "\n";
    *env.Err << std::flush;
}

void UseBtrieveDataSets(TCommandLineEnv& env) {
    env.MakeDataSet = [] {
        auto ds = std::make_unique<TBDataSet>();
        ds->SetName("BDataSet");
        ds->SetReadOnly(true);
        ds->SetLocking(false);
        return std::unique_ptr<TDataSet>(std::move(ds));
    };
    env.NameDataSet = [](TDataSet& ds, const std::string& dictName, const std::string& baseName) {
        auto& b = static_cast<TBDataSet&>(ds);
        b.SetDictName(dictName);
        b.SetBaseName(baseName);
    };
}

namespace {

// The table name of a script when --table is not given: the DDF table that describes the
// file, or, without a dictionary, the data file's name without its extension.
std::string DefaultTableName(const std::string& dictName, const std::string& baseName,
                             const std::string& tableChoice) {
    if (!tableChoice.empty()) return tableChoice;
    if (dictName.empty()) {
        const size_t cut = baseName.find_last_of("\\:/");
        std::string name = cut == std::string::npos ? baseName : baseName.substr(cut + 1);
        const size_t dot = name.rfind('.');
        return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    }
    if (DictionaryKindOf(dictName) == TDictionaryKind::kDdf)
        return DdfTableName(dictName, baseName);
    return {};
}

}  // namespace

void InstallStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool StopSignalled() {
    return gStopSignal != 0;
}

void ClearStopSignal() {
    gStopSignal = 0;
}

bool WantsEnglishStatusLines(const char* lcAll, const char* lcMessages, const char* lang) {
    const char* locale = nullptr;
    for (const char* value : {lcAll, lcMessages, lang})
        if (value && *value) {
            locale = value;
            break;
        }
    return !(locale && std::string_view(locale).substr(0, 2) == "ru");
}

namespace {

// A missing argument: its line, then the usage.
class EMissingArgument : public Exception {
  public:
    using Exception::Exception;
};

// What the checks made of the user's choice.
struct TCliPlan {
    enum TMode { kExport, kAll, kList, kSaveOnly } Mode = kExport;
    TImpInfo Info;
    TExportChoice Export;
    TShowChoice Show;
    std::string Settings, SaveSettings, DataDir;  // system text
    int WaitSeconds = -1;
    int Jobs = 1;  // --all's tables at once
};

// The settings: the file's, then the options given over them.
TImpInfo SettingsOf(const TCliChoice& c) {
    TImpInfo info;
    if (!c.Settings.empty()) {
        const std::string file = Argument("--settings", c.Settings);
        if (!std::filesystem::exists(c.Settings))
            throw Exception(Format("Settings file not found: %s", file.c_str()));
        LoadSettings(file, info);
    }
    if (c.Has("--dict")) info.DictionaryFileName = Argument("--dict", c.Dict);
    if (c.Has("--base")) info.BaseFileName = Argument("--base", c.Base);
    if (c.Has("--sql")) info.SQLFileName = Argument("--sql", c.Sql);
    if (c.Has("--table")) info.ImpTableName = Argument("--table", c.Table);
    if (c.Has("--commit")) info.CommitPeriod = CommitPeriodArgument(Argument("--commit", c.Commit));
    info.CreateDDL = c.Ddl;
    if (c.Has("--codepage")) info.OemCodePage = c.OemCodePage;
    if (c.Has("--target")) info.Target = c.Target;
    return info;
}

// The form of the script, checked before any file is touched.
TExportChoice ExportChoiceOf(const TCliChoice& c, const TImpInfo& info,
                             const TCommandLineEnv& env) {
    TExportChoice choice;
    TScriptForm& form = choice.Form;
    form.Target = SqlTargetOf(info.Target);
    form.RowsPerInsert = c.RowsPerInsert;
    form.Copy = c.Copy;
    form.DropTable = c.DropTable;
    form.KeepPeriods = c.Has("--commit");
    form.Strict = c.Strict;
    if (c.Has("--rename")) {
        if (form.Target == stClassic)
            throw Exception("--rename needs a --target other than classic");
        form.Renames = ReadRenames(Argument("--rename", c.RenameFile));
    }
    choice.Encoding = c.Has("--encoding") ? (c.Encoding == "utf8" ? seUtf8 : seAnsi)
                                          : DefaultScriptEncoding(form.Target);
    CheckScriptForm(form, choice.Encoding);
    if (c.DropTable && !c.Ddl) throw Exception("--drop-table does not go with --no-ddl");
    choice.Indexes = !c.NoIndexes;
    choice.ToStandardOutput = c.Has("--sql") && c.Sql == "-";
    // A dictionary that describes much less or more than the record stops the run.
    choice.NameDataSet = [force = c.Force, name = env.NameDataSet](TDataSet& ds,
                                                                   const std::string& dictName,
                                                                   const std::string& baseName) {
        if (auto* b = dynamic_cast<TBDataSet*>(&ds)) b->SetCheckLayout(!force);
        if (name) name(ds, dictName, baseName);
    };
    choice.KeysOf = env.KeysOf;
    return choice;
}

// Nothing the run reads is written over, the mode has what it needs: refused before any file
// is touched.
void CheckOutputsAndMode(const TCliChoice& c, TCliPlan& plan) {
    const TImpInfo& info = plan.Info;
    TInputFiles inputs = InputFilesOf(info);
    if (!plan.SaveSettings.empty()) RefuseSettingsOverInput(inputs, plan.SaveSettings);
    if (!plan.Settings.empty()) inputs.Add(plan.Settings);
    if (!plan.Export.ToStandardOutput) RefuseScriptOverInput(inputs, info.SQLFileName);
    if (!plan.SaveSettings.empty() && info.BaseFileName.empty() && !c.All && !c.List) {
        plan.Mode = TCliPlan::kSaveOnly;  // nothing to export
        return;
    }
    if ((c.List || c.All) && info.DictionaryFileName.empty())
        throw Exception("No dictionary file given (--dict)");
    if (c.List) {
        plan.Mode = TCliPlan::kList;
        return;
    }
    if (c.All) {
        if (info.SQLFileName.empty()) throw Exception("No script file given (--sql)");
        if (plan.Export.ToStandardOutput)
            throw Exception("--all writes script files: --sql - is not taken");
        plan.Mode = TCliPlan::kAll;
        return;
    }
    std::string missing;
    if (info.BaseFileName.empty()) missing += "No data file given (--base)\n";
    if (info.SQLFileName.empty()) missing += "No script file given (--sql)\n";
    if (!missing.empty()) throw EMissingArgument(missing);
}

// The choice checked and made into a plan; raises what is wrong with it.
TCliPlan CheckChoice(const TCliChoice& c, const TCommandLineEnv& env) {
    TCliPlan plan;
    plan.Info = SettingsOf(c);
    plan.Export = ExportChoiceOf(c, plan.Info, env);
    if (!c.Settings.empty()) plan.Settings = Argument("--settings", c.Settings);
    if (!c.SaveSettings.empty()) plan.SaveSettings = Argument("--save-settings", c.SaveSettings);
    plan.DataDir = Argument("--data-dir", c.DataDir);
    plan.Jobs = c.Jobs > 0 ? c.Jobs : DefaultJobs();
    plan.WaitSeconds = c.WaitSeconds;
    plan.Show.Quiet = c.Quiet;
    plan.Show.Progress = (env.ErrIsTerminal || c.Progress) && !c.Quiet;
    CheckOutputsAndMode(c, plan);
    if (plan.Mode != TCliPlan::kExport) return plan;
    if (c.Has("--dict-table")) plan.Export.DictTable = Argument("--dict-table", c.DictTable);
    if (plan.Info.ImpTableName.empty())
        plan.Info.ImpTableName = DefaultTableName(plan.Info.DictionaryFileName,
                                                  plan.Info.BaseFileName, plan.Export.DictTable);
    return plan;
}

// One data file into one script; the final message, then the summary line.
int RunOneFile(TCliPlan& plan, const TCommandLineEnv& env) {
    std::unique_ptr<TDataSet> dataSet = env.MakeDataSet();
    TTerminalHost host(env, plan.Show);
    TExportRun run(*dataSet, host);
    host.Run = &run;
    SetUpExportRun(run, plan.Info, plan.Export);
    // What the dictionary readers found wrong but read around: a line each.
    const TTerminalWarnings warnings(host);
    run.Clock = env.Clock;
    // With the script on standard output the final message goes to standard error.
    host.MessageStream = plan.Export.ToStandardOutput ? env.Err : env.Out;
    const TBtrieveErrorScope errors(host, env);
    ClearStopSignal();
    if (!run.ExecuteReportingErrors(plan.Info)) return kExitError;
    if (host.Ended && !plan.Show.Quiet)
        *host.MessageStream << AnsiToUtf8(TableSummaryLine(host.Table, host.Totals, host.Warnings,
                                                           host.Seconds))
                            << "\n"
                            << std::flush;
    return run.StopRequested() ? kExitStopped : kExitDone;
}

int RunPlan(TCliPlan& plan, const TCommandLineEnv& env) {
    // A lock of another process is told at once; Ctrl+C ends the wait.
    const TLockWaitScope lockWait(
        [&env](const std::string& fileName) {
            *env.Err << AnsiToUtf8(fileName)
                     << ": locked by another process; waiting, Ctrl+C to stop\n"
                     << std::flush;
        },
        [] { return StopSignalled(); }, plan.WaitSeconds);
    if (!plan.SaveSettings.empty()) {
        SaveSettings(plan.SaveSettings, plan.Info);
        if (!plan.Show.Quiet)
            *env.Out << "Settings written to " << AnsiToUtf8(plan.SaveSettings) << "\n"
                     << std::flush;
    }
    switch (plan.Mode) {
        case TCliPlan::kSaveOnly:
            return kExitDone;
        case TCliPlan::kList:
            return RunDatabaseList(plan.Info, plan.DataDir, env);
        case TCliPlan::kAll:
            return RunDatabaseExport(plan.Info, plan.Export, plan.DataDir, plan.Show, env,
                                     plan.Jobs);
        case TCliPlan::kExport:
            break;
    }
    return RunOneFile(plan, env);
}

// The engine first: a library that cannot serve stops the program before anything opens.
// Answers -1 to go on, else the exit status.
int ChooseEngine(const TCliChoice& c, const TCommandLineEnv& env) {
    try {
        recman::UseEngine(recman::EngineChoice(c.Engine));
    } catch (const std::exception& e) {
        *env.Err << AnsiToUtf8(e.what()) << "\n" << std::flush;
        return kExitError;
    }
    if (!c.Version) return -1;
    *env.Out << "quorvath " << QUORVATH_VERSION << "\nEngine: " << recman::EngineDescription()
             << "\n";
    return kExitDone;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args, const TCommandLineEnv& env) {
    const TCliParse parse = ParseCommandLine(args);
    if (parse.Done) {
        *(parse.Status == 0 ? env.Out : env.Err) << parse.Text << std::flush;
        return parse.Status == 0 ? kExitDone : kExitError;
    }
    if (const int status = ChooseEngine(parse.Choice, env); status >= 0) return status;
    try {
        TCliPlan plan = CheckChoice(parse.Choice, env);
        return RunPlan(plan, env);
    } catch (const EMissingArgument& e) {
        *env.Err << e.Message() << parse.Choice.Usage << std::flush;
        return kExitError;
    } catch (const std::exception& e) {
        *env.Err << AnsiToUtf8(e.what()) << "\n" << std::flush;
        return kExitError;
    }
}
