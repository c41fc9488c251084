#include "app/cli_usage.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

namespace {

constexpr size_t kHelpColumn = 24;  // where the descriptions start
constexpr size_t kHelpWidth = 79;   // the last column a line of the help reaches

// "-h, --help", "--ddl, --no-ddl": every name of the option, without the parser's marks.
std::string OptionNames(const CLI::Option& option) {
    std::string names;
    for (const std::string& name : option.get_snames())
        names += (names.empty() ? "-" : ", -") + name;
    for (const std::string& name : option.get_lnames())
        names += (names.empty() ? "--" : ", --") + name;
    return names;
}

// " FILE": the name of the option's value, nothing for a flag.
std::string ValueName(const CLI::Option& option) {
    if (option.get_type_size() == 0) return {};
    const std::string value = option.get_type_name();
    return value.empty() ? std::string() : " " + value;
}

// The words an option stands for in a usage line: "--base FILE".
std::string UsageWords(const CLI::App& app, const std::string& name) {
    const CLI::Option* option = app.get_option_no_throw(name);
    return option ? name + ValueName(*option) : name;
}

// The help: the usage lines, what the program does, each group's options, the footer.
class THelpFormatter : public CLI::Formatter {
  public:
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
        std::string out = UsageLine(*app) + "\n" + app->get_description() + "\n";
        // The groups the usage lines name first, then the others in the order of definition.
        std::vector<std::string> groups = {kNeededGroup, kOptionalInputGroup, kDictionaryGroup};
        for (const std::string& group : app->get_groups())
            if (std::find(groups.begin(), groups.end(), group) == groups.end())
                groups.push_back(group);
        for (const std::string& group : groups) {
            std::string lines;
            for (const CLI::Option* option : app->get_options())
                if (option->get_group() == group && option->nonpositional())
                    lines += OptionHelpLines("  " + OptionNames(*option) + ValueName(*option),
                                             option->get_description(), kHelpColumn);
            if (!lines.empty() && !group.empty()) out += "\n" + group + ":\n" + lines;
        }
        if (!app->get_footer().empty()) out += "\n" + app->get_footer() + "\n";
        return out;
    }
};

}  // namespace

std::string OptionHelpLines(const std::string& left, const std::string& description,
                            size_t column) {
    std::string out = left;
    if (out.size() + 2 <= column)
        out.append(column - out.size(), ' ');
    else
        out += "\n" + std::string(column, ' ');
    size_t lineStart = out.size() - column;
    bool first = true;
    size_t pos = 0;
    while (pos < description.size()) {
        size_t end = description.find(' ', pos);
        if (end == std::string::npos) end = description.size();
        const std::string word = description.substr(pos, end - pos);
        const size_t used = out.size() - lineStart;
        if (!first && used + 1 + word.size() > kHelpWidth) {
            out += "\n" + std::string(column, ' ');
            lineStart = out.size() - column;
        } else if (!first) {
            out += ' ';
        }
        out += word;
        first = false;
        pos = end + 1;
    }
    return out + "\n";
}

std::string UsageLine(const CLI::App& app) {
    std::string line = "Usage: " + app.get_name();
    for (const char* group : {kOptionalInputGroup, kNeededGroup}) {
        const bool optional = group == kOptionalInputGroup;
        for (const CLI::Option* option : app.get_options()) {
            if (option->get_group() != group) continue;
            const std::string words = option->get_name(false, false) + ValueName(*option);
            line += optional ? " [" + words + "]" : " " + words;
        }
    }
    line += " [OPTIONS]";
    // The modes over a whole dictionary: --all writes scripts, --list only reads.
    if (app.get_option_no_throw("--all"))
        line += "\n  or:  " + app.get_name() + " " + UsageWords(app, "--dict") + " --all " +
                UsageWords(app, "--sql") + "|DIR/ [OPTIONS]";
    if (app.get_option_no_throw("--list"))
        line += "\n  or:  " + app.get_name() + " " + UsageWords(app, "--dict") + " --list [" +
                UsageWords(app, "--data-dir") + "]";
    return line;
}

std::string TryHelpLine(const CLI::App& app) {
    return "Try '" + app.get_name() + " --help' for more information.";
}

std::string ChoiceList(const std::vector<std::string>& choices) {
    std::string out;
    for (const std::string& choice : choices) out += (out.empty() ? "" : ", ") + choice;
    return out;
}

std::string HelpFooter() {
    return "Exit status:\n"
           "  0    done: the script is complete (also after --help, --version, or\n"
           "       --save-settings without a data file)\n"
           "  1    an error; its message is on standard error; an earlier script of the\n"
           "       same name is left as it was\n"
           "  3    --all: some tables were exported, some whose data file is there failed\n"
           "  130  stopped by Ctrl+C or SIGTERM; FILE.sql.partial holds the records read so\n"
           "       far (the classic script ends with COMMIT WORK, a target's commits\n"
           "       nothing); an earlier FILE.sql is left as it was\n"
           "\n"
           "Settings files (--settings, --save-settings) are INI text in code page 1251,\n"
           "section [Config]; the options given here override what the file holds.\n"
           "\n"
           "Ctrl+C (or SIGTERM) stops the export after the current record and completes the\n"
           "script with its final COMMIT WORK; a second Ctrl+C does not interrupt that; a\n"
           "third ends the program at once and leaves the script unfinished. While another\n"
           "process holds a lock the export needs, it says so and waits (--wait); Ctrl+C\n"
           "ends the wait.\n"
           "\n"
           "Environment: QUORVATH_BTRIEVE_LIBRARY chooses the engine as --engine does;\n"
           "QUORVATH_ALIASES names the file of the ($NAME) aliases in file names (default\n"
           "/etc/quorvath/aliases.ini).\n"
           "\n"
           "Files of the vendor's engine (formats 5.x to 9.0, compressed records too) are\n"
           "read without it, read-only; a file with an owner name is read without its name.\n";
}

void SetUsageTexts(CLI::App& app) {
    app.formatter(std::make_shared<THelpFormatter>());
    app.set_help_flag("-h,--help", "print this help and exit");
    std::string footer = HelpFooter();
    footer.pop_back();  // the help ends the footer's last line itself
    app.footer(footer);
}
