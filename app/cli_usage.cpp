#include "app/cli_usage.h"

#include <CLI/CLI.hpp>
#include <memory>

namespace {

// The help's usage line is the one the error messages show.
class TUsageFormatter : public CLI::Formatter {
  public:
    std::string make_usage(const CLI::App* app, std::string) const override {
        return UsageLine(*app) + "\n";
    }
    // One line per option: a long name and value push the description along the line
    // rather than onto the next.
    std::string make_option(const CLI::Option* opt, bool positional) const override {
        std::string line = "  " + make_option_name(opt, positional) + make_option_opts(opt);
        const size_t column = get_column_width();
        line += line.size() + 2 <= column ? std::string(column - line.size(), ' ') : "  ";
        return line + make_option_desc(opt) + "\n";
    }
};

}  // namespace

std::string UsageLine(const CLI::App& app) {
    std::string line = "Usage: " + app.get_name();
    for (const char* group : {kOptionalInputGroup, kNeededGroup}) {
        const bool optional = group == kOptionalInputGroup;
        for (const CLI::Option* option : app.get_options()) {
            if (option->get_group() != group) continue;
            std::string words = option->get_name(false, false);
            const std::string value = option->get_type_name();
            if (!value.empty()) words += " " + value;
            line += optional ? " [" + words + "]" : " " + words;
        }
    }
    return line + " [OPTIONS]";
}

std::string TryHelpLine(const CLI::App& app) {
    return "Try '" + app.get_name() + " --help' for more information.";
}

std::string HelpFooter() {
    return "Exit status:\n"
           "  0    done: the script is complete (also after --help, --version, or\n"
           "       --save-settings without a data file)\n"
           "  1    an error; its message is on standard error; an earlier script of the\n"
           "       same name is left as it was\n"
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
           "Files of the vendor's engine (formats 5.x to 9.0, compressed records too) are\n"
           "read without it, read-only; a file with an owner name is read without its name.\n";
}

void SetUsageTexts(CLI::App& app) {
    app.formatter(std::make_shared<TUsageFormatter>());
    std::string footer = HelpFooter();
    footer.pop_back();  // the help ends the footer's last line itself
    app.footer(footer);
}
