#include "app/terminal_host.h"

#include <chrono>

#include "app/english_lines.h"
#include "platform/codepage.h"
#include "platform/format.h"

namespace {

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

TTerminalHost::TTerminalHost(const TCommandLineEnv& env, TShowChoice show)
    : env_(env), show_(show), meter_(env.Seconds) {
    if (show_.Quiet) show_.Progress = false;
}

void TTerminalHost::BeginTable(const std::string& table, int64_t total) {
    EndProgress();
    Table = table;
    Totals = {};
    Ended = false;
    start_ = env_.Seconds ? env_.Seconds() : SteadySeconds();
    meter_.Start(AnsiToUtf8(table), total);
}

void TTerminalHost::ShowProgress(const std::string& text) {
    if (show_.Progress) shown_ |= DrawProgress(*env_.Err, meter_, std::stoll(text));
}

void TTerminalHost::ProcessMessages() {
    if (StopSignalled() && Run) Run->RequestStop();
}

void TTerminalHost::ShowMessage(const std::string&, const std::string& text, TMessageIcon) {
    if (show_.Quiet || !MessageStream) return;
    EndProgress();
    *MessageStream << AnsiToUtf8(TerminalLines(text)) << "\n" << std::flush;
}

void TTerminalHost::ShowError(const std::string& message) {
    EndProgress();
    WriteErrorLines(env_, message);
}

void TTerminalHost::ShowWarning(const std::string& text) {
    ++Warnings;
    ShowNotice(text);
}

void TTerminalHost::ShowNotice(const std::string& text) {
    Say(AnsiToUtf8(text));
}

void TTerminalHost::Say(const std::string& utf8) {
    if (show_.Quiet) return;
    EndProgress();
    *env_.Err << utf8 << "\n" << std::flush;
}

void TTerminalHost::EndTable(const TTableTotals& totals) {
    Totals = totals;
    Seconds = (env_.Seconds ? env_.Seconds() : SteadySeconds()) - start_;
    Ended = true;
}

void TTerminalHost::EndProgress() {
    if (shown_) *env_.Err << "\n" << std::flush;
    shown_ = false;
}

TTerminalWarnings::TTerminalWarnings(IExportHost& host)
    : host_(host), previous_(SetDictWarnings(this)) {}

TTerminalWarnings::~TTerminalWarnings() {
    SetDictWarnings(previous_);
}

void TTerminalWarnings::DictWarning(const std::string& text) {
    host_.ShowWarning(text);
}

TBtrieveErrorScope::TBtrieveErrorScope(TTerminalHost& host, const TCommandLineEnv& env)
    : previous_(SetBtrieveErrorDisplay(
          [&host, &env](const std::string& caption, const std::string& message) {
              host.EndProgress();
              WriteErrorLines(env, caption + ": " + message);
          })) {}

TBtrieveErrorScope::~TBtrieveErrorScope() {
    SetBtrieveErrorDisplay(previous_);
}

std::string TenthsOfSeconds(double seconds) {
    return Format("%.1f", seconds < 0 ? 0.0 : seconds);
}

std::string TableSummaryLine(const std::string& table, const TTableTotals& totals, int warnings,
                             double seconds) {
    return Format("%s: %s records read, %s written, %d warning%s, %s bytes in %s s to %s",
                  table.c_str(), GroupedNumber(totals.Records).c_str(),
                  GroupedNumber(totals.Records).c_str(), warnings, warnings == 1 ? "" : "s",
                  GroupedNumber(static_cast<int64_t>(totals.Bytes)).c_str(),
                  TenthsOfSeconds(seconds).c_str(), totals.Script.c_str());
}
