#include "app/command_line.h"

#include <signal.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <string_view>

#include "app/cli_checks.h"
#include "app/cli_usage.h"
#include "app/database_command.h"
#include "app/export_setup.h"
#include "app/input_files.h"
#include "app/lock_wait.h"
#include "app/progress_meter.h"
#include "app/settings.h"
#include "btrieve/btr_error.h"
#include "btrieve/btr_file.h"
#include "dataset/btr_dataset.h"
#include "dict/ddf_dictionary.h"
#include "dict/dict_warnings.h"
#include "dict/dictionary.h"
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

// CR LF line breaks of a message become the terminal's LF.
std::string Lines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out.push_back(text[i]);
    return out;
}

// After a Btrieve message, for a reader of English, the status and its meaning.
void EnglishStatusLine(const TCommandLineEnv& env, const std::string& message) {
    int32_t status = 0;
    if (env.EnglishStatusLines && BtrStatusOfMessage(message, status))
        *env.Err << BtrStatusEnglishLine(status) << "\n";
}

}  // namespace

void WriteErrorLines(const TCommandLineEnv& env, const std::string& message) {
    // A refused file's message carries the record manager's reason on a line of its own.
    *env.Err << AnsiToUtf8(Lines(message)) << "\n";
    EnglishStatusLine(env, message);
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

class TTerminalHost : public IExportHost {
  public:
    explicit TTerminalHost(const TCommandLineEnv& env) : env_(env), meter_(env.Seconds) {}

    TExportRun* Run = nullptr;
    bool Shown = false;
    std::ostream* MessageStream = nullptr;  // the final message's stream, standard output

    void BeginTable(const std::string& table, int64_t total) override {
        meter_.Start(AnsiToUtf8(table), total);
    }
    void ShowProgress(const std::string& text) override {
        if (env_.ErrIsTerminal) Shown |= DrawProgress(*env_.Err, meter_, std::stoll(text));
    }
    void ProcessMessages() override {
        if (StopSignalled() && Run) Run->RequestStop();
    }
    void ShowMessage(const std::string&, const std::string& text, TMessageIcon) override {
        EndProgress();
        *(MessageStream ? MessageStream : env_.Out) << AnsiToUtf8(Lines(text)) << "\n"
                                                    << std::flush;
    }
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
        if (Shown) *env_.Err << "\n" << std::flush;
        Shown = false;
    }

  private:
    const TCommandLineEnv& env_;
    TProgressMeter meter_;
};

class TTerminalWarnings : public IDictWarnings {
  public:
    TTerminalWarnings(TTerminalHost& host, std::ostream& err) : host_(host), err_(err) {}
    void DictWarning(const std::string& text) override {
        host_.EndProgress();
        err_ << AnsiToUtf8(text) << "\n" << std::flush;
    }

  private:
    TTerminalHost& host_;
    std::ostream& err_;
};

class TDictWarningsScope {
  public:
    explicit TDictWarningsScope(IDictWarnings* sink) : previous_(SetDictWarnings(sink)) {}
    ~TDictWarningsScope() { SetDictWarnings(previous_); }
    TDictWarningsScope(const TDictWarningsScope&) = delete;
    TDictWarningsScope& operator=(const TDictWarningsScope&) = delete;

  private:
    IDictWarnings* previous_;
};

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

bool WantsEnglishStatusLines(bool terminal, const char* lcAll, const char* lcMessages,
                             const char* lang) {
    if (!terminal) return false;
    const char* locale = nullptr;
    for (const char* value : {lcAll, lcMessages, lang})
        if (value && *value) {
            locale = value;
            break;
        }
    return !(locale && std::string_view(locale).substr(0, 2) == "ru");
}

int RunCommandLine(const std::vector<std::string>& args, const TCommandLineEnv& env) {
    std::ostream& out = *env.Out;
    std::ostream& err = *env.Err;

    CLI::App cli{"Exports one Btrieve data file, or every table of a dictionary, as SQL scripts.",
                 "quorvath"};
    std::string dict, base, sql, table, commit, settings, saveSettings, encoding = "cp1251";
    std::string engine, dictTable;
    bool ddl = true, version = false;
    SetUsageTexts(cli);
    const std::vector<std::string> targets = SqlTargetNames();
    const std::vector<std::string> encodings = {"cp1251", "utf8"};
    const std::vector<int> codePages = {437, 850, 852, 866, 1250, 1251, 1252};
    cli.add_option("--dict", dict,
                   "the dictionary: a Btrieve dictionary file (.def), or a DDF data dictionary "
                   "(its folder or FILE.DDF); without it the file's own keys give the columns")
        ->group(kOptionalInputGroup)
        ->type_name("FILE|DIR");
    cli.add_option("--dict-table", dictTable,
                   "the DDF dictionary's table to read the data file by (its Xf$Name)")
        ->type_name("NAME");
    cli.add_option("--base", base, "the Btrieve data file to export")
        ->group(kNeededGroup)
        ->type_name("FILE");
    cli.add_option("--sql", sql,
                   "the SQL script to write, - for standard output; with --all one FILE for "
                   "every table or a DIR/ for a script per table")
        ->group(kNeededGroup)
        ->type_name("FILE");
    cli.add_option("--table", table, "the table's name in the script")->type_name("NAME");
    cli.add_option("--commit", commit,
                   "a COMMIT WORK after every N records, 0 only at the end (default: 1000; a "
                   "target's script commits once per table unless it is given)")
        ->type_name("N")
        ->transform(WholeNumber(0));
    cli.add_flag("--ddl,!--no-ddl", ddl,
                 "write the CREATE TABLE statement, or not (default: write it)");
    cli.add_option("--settings", settings, "a settings file (.set) read before the options")
        ->type_name("FILE");
    cli.add_option("--save-settings", saveSettings, "write the settings to this file")
        ->type_name("FILE");
    cli.add_option("--encoding", encoding,
                   "the script's encoding, one of: " + ChoiceList(encodings) +
                       " (default: cp1251 for classic, utf8 for every other target)")
        ->type_name("NAME")
        ->transform(OneOf(encodings));
    int oemCodePage = 866;
    std::vector<std::string> codePageNames;
    for (const int page : codePages) codePageNames.push_back(std::to_string(page));
    cli.add_option("--codepage,--oem-codepage", oemCodePage,
                   "the code page of the data's text, one of: " + ChoiceList(codePageNames) +
                       " (default: 866; 437 to 866 are OEM, 1250 to 1252 a Windows program's)")
        ->type_name("N")
        ->transform(CodePageOf(codePages));
    bool all = false, list = false;
    std::string dataDir;
    cli.add_flag("--all", all, "export every table of the dictionary")->group(kDictionaryGroup);
    cli.add_flag("--list", list, "list the tables of the dictionary and their data files")
        ->group(kDictionaryGroup);
    cli.add_option("--data-dir", dataDir,
                   "the folder of the data files (default: the dictionary's)")
        ->group(kDictionaryGroup)
        ->type_name("DIR");
    int jobs = DefaultJobs();
    cli.add_option("-j,--jobs", jobs,
                   "with --all, the tables exported at once (default: the number of cores)")
        ->group(kDictionaryGroup)
        ->type_name("N")
        ->transform(WholeNumber(1, 256));
    bool noIndexes = false;
    cli.add_flag("--no-indexes", noIndexes,
                 "leave out the primary key and indexes a target's script states after the data");
    std::string target;
    int rowsPerInsert = 1;
    bool copy = false, dropTable = false, strict = false;
    cli.add_option(
           "--target", target,
           "the database the script is for, one of: " + ChoiceList(targets) + " (default: classic)")
        ->type_name("NAME")
        ->transform(OneOf(targets));
    cli.add_option("--rows-per-insert", rowsPerInsert,
                   "records per INSERT statement (default: 1; postgresql, mysql, sqlite)")
        ->type_name("N")
        ->transform(WholeNumber(1));
    cli.add_flag("--copy", copy, "COPY ... FROM STDIN blocks instead of INSERTs (postgresql)");
    cli.add_flag("--strict", strict,
                 "stop at a value the target cannot store (NaN, infinity) or stored bytes "
                 "without a number, instead of writing NULL with a warning");
    std::string renameFile;
    cli.add_option("--rename", renameFile,
                   "a file of new names for tables and columns: TABLE=NEW and TABLE.COLUMN=NEW "
                   "lines (targets other than classic)")
        ->type_name("FILE");
    cli.add_flag("--drop-table", dropTable,
                 "drop an existing table of the same name before the definition");
    cli.add_option("--engine", engine,
                   "the Btrieve engine: a client library's path, auto (the vendor's usual "
                   "libraries) or embedded (default: QUORVATH_BTRIEVE_LIBRARY, else embedded)")
        ->type_name("LIBRARY");
    int waitSeconds = -1;
    cli.add_option("--wait", waitSeconds,
                   "seconds to wait for a file or record another process has locked, 0 fails "
                   "at once (default: 5)")
        ->type_name("SECONDS")
        ->transform(WholeNumber(0, 86400));
    cli.add_flag("--version", version, "print the version and the Btrieve engine, then exit");

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    if (!reversed.empty()) reversed.pop_back();  // the program name
    try {
        cli.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << cli.help();
        return kExitDone;
    } catch (const CLI::ParseError& e) {
        err << e.what() << "\n" << UsageLine(cli) << "\n" << TryHelpLine(cli) << "\n";
        return kExitError;
    }

    // The engine first: a library that cannot serve stops the program before anything opens.
    try {
        recman::UseEngine(recman::EngineChoice(engine));
    } catch (const std::exception& e) {
        err << AnsiToUtf8(e.what()) << "\n" << std::flush;
        return kExitError;
    }
    if (version) {
        out << "quorvath " << QUORVATH_VERSION << "\nEngine: " << recman::EngineDescription()
            << "\n";
        return kExitDone;
    }

    std::unique_ptr<TDataSet> dataSet;
    try {
        TImpInfo info;
        if (!settings.empty()) {
            const std::string file = Argument("--settings", settings);
            if (!std::filesystem::exists(settings))
                throw Exception(Format("Settings file not found: %s", file.c_str()));
            LoadSettings(file, info);
        }
        if (cli.count("--dict")) info.DictionaryFileName = Argument("--dict", dict);
        if (cli.count("--base")) info.BaseFileName = Argument("--base", base);
        if (cli.count("--sql")) info.SQLFileName = Argument("--sql", sql);
        if (cli.count("--table")) info.ImpTableName = Argument("--table", table);
        if (cli.count("--commit"))
            info.CommitPeriod = CommitPeriodArgument(Argument("--commit", commit));
        info.CreateDDL = ddl;
        if (cli.count("--codepage")) info.OemCodePage = oemCodePage;
        if (cli.count("--target")) info.Target = target;
        // The form of the script, checked before any file is touched.
        TScriptForm form;
        form.Target = SqlTargetOf(info.Target);
        form.RowsPerInsert = rowsPerInsert;
        form.Copy = copy;
        form.DropTable = dropTable;
        form.KeepPeriods = cli.count("--commit") > 0;
        form.Strict = strict;
        if (cli.count("--rename")) {
            if (form.Target == stClassic)
                throw Exception("--rename needs a --target other than classic");
            form.Renames = ReadRenames(Argument("--rename", renameFile));
        }
        const TScriptEncoding scriptEncoding = cli.count("--encoding")
                                                   ? (encoding == "utf8" ? seUtf8 : seAnsi)
                                                   : DefaultScriptEncoding(form.Target);
        CheckScriptForm(form, scriptEncoding);
        if (dropTable && !ddl) throw Exception("--drop-table does not go with --no-ddl");
        const bool toStandardOutput = cli.count("--sql") && sql == "-";
        // Nothing the run reads is written over: refused before any file is touched.
        TInputFiles inputs = InputFilesOf(info);
        if (!saveSettings.empty())
            RefuseSettingsOverInput(inputs, Argument("--save-settings", saveSettings));
        if (!settings.empty()) inputs.Add(Argument("--settings", settings));
        if (!toStandardOutput) RefuseScriptOverInput(inputs, info.SQLFileName);
        // A lock of another process is told at once; Ctrl+C ends the wait.
        const TLockWaitScope lockWait(
            [&err](const std::string& fileName) {
                err << AnsiToUtf8(fileName)
                    << ": locked by another process; waiting, Ctrl+C to stop\n"
                    << std::flush;
            },
            [] { return StopSignalled(); }, waitSeconds);
        if (!saveSettings.empty()) {
            SaveSettings(Argument("--save-settings", saveSettings), info);
            out << "Settings written to " << saveSettings << "\n" << std::flush;
            if (info.BaseFileName.empty()) return kExitDone;  // nothing to export
        }
        if ((list || all) && info.DictionaryFileName.empty())
            throw Exception("No dictionary file given (--dict)");
        if (list) return RunDatabaseList(info, Argument("--data-dir", dataDir), env);
        TExportChoice choice;
        choice.Form = form;
        choice.Encoding = scriptEncoding;
        choice.Indexes = !noIndexes;
        choice.ToStandardOutput = toStandardOutput;
        choice.NameDataSet = env.NameDataSet;
        choice.KeysOf = env.KeysOf;
        if (all) {
            if (info.SQLFileName.empty()) throw Exception("No script file given (--sql)");
            if (toStandardOutput)
                throw Exception("--all writes script files: --sql - is not taken");
            return RunDatabaseExport(info, choice, Argument("--data-dir", dataDir), env, jobs);
        }
        std::vector<std::string> missing;
        if (info.BaseFileName.empty()) missing.push_back("No data file given (--base)");
        if (info.SQLFileName.empty()) missing.push_back("No script file given (--sql)");
        if (!missing.empty()) {
            for (const std::string& line : missing) err << line << "\n";
            err << UsageLine(cli) << "\n" << TryHelpLine(cli) << "\n" << std::flush;
            return kExitError;
        }
        if (cli.count("--dict-table")) choice.DictTable = Argument("--dict-table", dictTable);
        if (info.ImpTableName.empty())
            info.ImpTableName =
                DefaultTableName(info.DictionaryFileName, info.BaseFileName, choice.DictTable);

        dataSet = env.MakeDataSet();
        TTerminalHost host(env);
        TExportRun run(*dataSet, host);
        host.Run = &run;
        SetUpExportRun(run, info, choice);
        // What the dictionary readers found wrong but read around: a line each.
        TTerminalWarnings warnings(host, err);
        const TDictWarningsScope warningsScope(&warnings);
        run.Clock = env.Clock;
        // With the script on standard output the final message goes to standard error.
        if (toStandardOutput) host.MessageStream = env.Err;
        // The Btrieve error box of a failing fetch: a line of its own on standard error.
        const TBtrieveErrorDisplay previous =
            SetBtrieveErrorDisplay([&](const std::string& caption, const std::string& message) {
                host.EndProgress();
                err << AnsiToUtf8(caption) << ": " << AnsiToUtf8(message) << "\n";
                EnglishStatusLine(env, message);
                err << std::flush;
            });
        ClearStopSignal();
        const bool done = run.ExecuteReportingErrors(info);
        SetBtrieveErrorDisplay(previous);
        if (!done) return kExitError;
        return run.StopRequested() ? kExitStopped : kExitDone;
    } catch (const std::exception& e) {
        err << AnsiToUtf8(e.what()) << "\n" << std::flush;
        return kExitError;
    }
}
