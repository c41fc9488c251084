#include "app/command_line.h"

#include <signal.h>
#include <CLI/CLI.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <string_view>

#include "app/cli_usage.h"
#include "app/settings.h"
#include "btrieve/btr_error.h"
#include "platform/codepage.h"
#include "platform/exception.h"
#include "platform/format.h"
#include "recman/engine.h"
#include "recman/real/real_file.h"

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

class TTerminalHost : public IExportHost {
  public:
    TTerminalHost(const TCommandLineEnv& env, TDataSet& dataSet)
        : env_(env), dataSet_(dataSet), start_(std::chrono::steady_clock::now()) {}

    TExportRun* Run = nullptr;
    bool Shown = false;

    void ShowProgress(const std::string& text) override {
        if (!env_.ErrIsTerminal) return;
        if (total_ == -2) total_ = env_.TotalRecords ? env_.TotalRecords(dataSet_) : -1;
        std::string line = "\r" + text + " records";
        if (total_ > 0) {
            const double done = std::stod(text);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
            line += Format(" of %lld (%d%%), %.0f records/s", static_cast<long long>(total_),
                           static_cast<int>(done * 100 / static_cast<double>(total_)),
                           seconds > 0 ? done / seconds : 0.0);
        }
        *env_.Err << line << std::flush;
        Shown = true;
    }
    void ProcessMessages() override {
        if (StopSignalled() && Run) Run->RequestStop();
    }
    void ShowMessage(const std::string&, const std::string& text, TMessageIcon) override {
        EndProgress();
        *env_.Out << AnsiToUtf8(Lines(text)) << "\n" << std::flush;
    }
    void ShowError(const std::string& message) override {
        EndProgress();
        *env_.Err << AnsiToUtf8(message) << "\n";
        EnglishStatusLine(env_, message);
        // A file of the vendor's engine that the reader refused: the status alone does not
        // say why, so the reader's reason follows on a line of its own.
        const std::string& reason = recman::real::LastOpenError();
        if (!reason.empty() && message.find(BtrOperationText(0)) != std::string::npos)
            *env_.Err << reason << "\n";
        *env_.Err << std::flush;
    }
    void EndProgress() {
        if (Shown) *env_.Err << "\n" << std::flush;
        Shown = false;
    }

  private:
    const TCommandLineEnv& env_;
    TDataSet& dataSet_;
    std::chrono::steady_clock::time_point start_;
    int64_t total_ = -2;  // -2: not asked yet
};

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

    CLI::App cli{"Exports one Btrieve data file as an SQL script.", "quorvath"};
    std::string dict, base, sql, table, commit, settings, saveSettings, encoding = "cp1251";
    std::string engine;
    bool ddl = true, version = false;
    SetUsageTexts(cli);
    cli.add_option("--dict", dict, "Btrieve dictionary file (*.def)")
        ->group(kNeededGroup)
        ->type_name("FILE.def");
    cli.add_option("--base", base, "Btrieve data file (*.dbt)")
        ->group(kNeededGroup)
        ->type_name("FILE.dbt");
    cli.add_option("--sql", sql, "SQL script to write (*.sql)")
        ->group(kNeededGroup)
        ->type_name("FILE.sql");
    cli.add_option("--table", table, "target table name")->type_name("NAME");
    cli.add_option("--commit", commit, "records between COMMIT WORK lines (default 1000)")
        ->type_name("N");
    cli.add_flag("--ddl,!--no-ddl", ddl, "write the CREATE TABLE statement (default on)");
    cli.add_option("--settings", settings, "settings file (*.set) read before the options")
        ->type_name("FILE.set");
    cli.add_option("--save-settings", saveSettings, "write the settings to this file")
        ->type_name("FILE.set");
    cli.add_option("--encoding", encoding, "script encoding: cp1251 (default) or utf8")
        ->check(CLI::IsMember({"cp1251", "utf8"}));
    cli.add_option("--engine", engine,
                   "Btrieve engine: a client library's path, auto (the vendor's usual "
                   "libraries) or embedded (default; see also QUORVATH_BTRIEVE_LIBRARY)");
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
        if (!saveSettings.empty()) {
            SaveSettings(Argument("--save-settings", saveSettings), info);
            out << "Settings written to " << saveSettings << "\n" << std::flush;
            if (info.BaseFileName.empty()) return kExitDone;  // nothing to export
        }
        std::vector<std::string> missing;
        if (info.DictionaryFileName.empty()) missing.push_back("No dictionary file given (--dict)");
        if (info.BaseFileName.empty()) missing.push_back("No data file given (--base)");
        if (info.SQLFileName.empty()) missing.push_back("No script file given (--sql)");
        if (!missing.empty()) {
            for (const std::string& line : missing) err << line << "\n";
            err << UsageLine(cli) << "\n" << TryHelpLine(cli) << "\n" << std::flush;
            return kExitError;
        }

        dataSet = env.MakeDataSet();
        TTerminalHost host(env, *dataSet);
        TExportRun run(*dataSet, host);
        host.Run = &run;
        run.NameDataSet = env.NameDataSet;
        run.Clock = env.Clock;
        run.Encoding = encoding == "utf8" ? seUtf8 : seAnsi;
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
