// The export's host on a terminal, for one data file and for every table of a dictionary:
// the progress line on standard error, warnings and notices there too, errors with their
// English lines, the stop signal, the final message; --quiet leaves only the errors.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "app/export_run.h"
#include "app/progress_meter.h"
#include "btrieve/btr_error.h"
#include "dict/dict_warnings.h"

// What the command line shows besides errors.
struct TShowChoice {
    bool Progress = false;  // the progress line (a terminal, or --progress)
    bool Quiet = false;     // nothing but errors
};

class TTerminalHost : public IExportHost {
  public:
    TTerminalHost(const TCommandLineEnv& env, TShowChoice show);

    TExportRun* Run = nullptr;
    // The final message's stream; null: the message is dropped (the summary says it all).
    std::ostream* MessageStream = nullptr;

    void BeginTable(const std::string& table, int64_t total) override;
    void ShowProgress(const std::string& text) override;
    void ProcessMessages() override;
    void ShowMessage(const std::string& caption, const std::string& text,
                     TMessageIcon icon) override;
    void ShowError(const std::string& message) override;
    void ShowWarning(const std::string& text) override;
    void ShowNotice(const std::string& text) override;
    void EndTable(const TTableTotals& totals) override;
    // Ends the progress line drawn last, so that the next text starts a line of its own.
    void EndProgress();
    // A line on standard error, unless quiet.
    void Say(const std::string& utf8);

    // The last table: its name, what EndTable told, its seconds; the warnings of the run.
    std::string Table;
    TTableTotals Totals;
    int Warnings = 0;
    double Seconds = 0;
    bool Ended = false;  // EndTable came for it

  private:
    const TCommandLineEnv& env_;
    TShowChoice show_;
    TProgressMeter meter_;
    bool shown_ = false;
    double start_ = 0;
};

// For its life, what the dictionary readers found wrong but read around goes to the host, a
// warning each.
class TTerminalWarnings : public IDictWarnings {
  public:
    explicit TTerminalWarnings(IExportHost& host);
    ~TTerminalWarnings() override;
    TTerminalWarnings(const TTerminalWarnings&) = delete;
    TTerminalWarnings& operator=(const TTerminalWarnings&) = delete;
    void DictWarning(const std::string& text) override;

  private:
    IExportHost& host_;
    IDictWarnings* previous_;
};

// For its life, the Btrieve error box of a failing fetch is a line of its own on standard
// error, with its English lines.
class TBtrieveErrorScope {
  public:
    TBtrieveErrorScope(TTerminalHost& host, const TCommandLineEnv& env);
    ~TBtrieveErrorScope();
    TBtrieveErrorScope(const TBtrieveErrorScope&) = delete;
    TBtrieveErrorScope& operator=(const TBtrieveErrorScope&) = delete;

  private:
    TBtrieveErrorDisplay previous_;
};

// The closing line of one table: "CLIENTS: 12 records read, 12 written, 1 warning,
// 3,456 bytes in 0.2 s to /data/out.sql" (names as the system holds them).
std::string TableSummaryLine(const std::string& table, const TTableTotals& totals, int warnings,
                             double seconds);
// "0.2", "12.0": seconds with a tenth.
std::string TenthsOfSeconds(double seconds);
