// The command line's usage texts, built from the parser's own option list so that a new
// option needs no edit here: the usage lines, the pointer to --help, and the help in the usual
// shape (options with their values' names, descriptions aligned and wrapped, then the exit
// statuses, the settings files' encoding, what Ctrl+C does).
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

// The group of the options an export cannot do without (given on the command line or by the
// --settings file); the usage line names them, the rest stand as [OPTIONS].
inline constexpr const char* kNeededGroup = "Needed for an export (here or in the --settings file)";
// The group of the inputs an export may go without; the usage line names them in brackets.
inline constexpr const char* kOptionalInputGroup =
    "Optional input (here or in the --settings file)";
// The group of the modes that work on a whole dictionary; each has a usage line of its own.
inline constexpr const char* kDictionaryGroup = "Every table of a dictionary (with --dict)";

// "Usage: quorvath [--dict FILE|DIR] --base FILE --sql FILE [OPTIONS]" and a line "  or:  ..."
// for each of --all and --list.
std::string UsageLine(const CLI::App& app);
// "Try 'quorvath --help' for more information."
std::string TryHelpLine(const CLI::App& app);
// The lines after the options in --help.
std::string HelpFooter();
// Makes the help show UsageLine, the options as below and HelpFooter; -h and --help ask for it.
void SetUsageTexts(CLI::App& app);
// "a, b, c": the choices of an option as its description names them, and as the completion
// reads them after "one of: ".
std::string ChoiceList(const std::vector<std::string>& choices);

// "  --name, --other VALUE  description", the description wrapped at the 79th column and
// aligned at column; a left part too long for it puts the description on the next line.
std::string OptionHelpLines(const std::string& left, const std::string& description, size_t column);
