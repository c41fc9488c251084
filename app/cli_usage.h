// The command line's usage texts, built from the parser's own option list so that a new
// option needs no edit here: the usage line, the pointer to --help, and the closing part of
// the help (exit statuses, the settings files' encoding, what Ctrl+C does).
#pragma once

#include <string>

namespace CLI {
class App;
}

// The group of the options an export cannot do without (given on the command line or by the
// --settings file); the usage line names them, the rest stand as [OPTIONS].
inline constexpr const char* kNeededGroup = "Needed for an export (here or in the --settings file)";
// The group of the inputs an export may go without; the usage line names them in brackets.
inline constexpr const char* kOptionalInputGroup =
    "Optional input (here or in the --settings file)";

// "Usage: quorvath [--dict FILE.def] --base FILE.dbt --sql FILE.sql [OPTIONS]"
std::string UsageLine(const CLI::App& app);
// "Try 'quorvath --help' for more information."
std::string TryHelpLine(const CLI::App& app);
// The lines after the options in --help.
std::string HelpFooter();
// Makes the help show UsageLine and HelpFooter.
void SetUsageTexts(CLI::App& app);
