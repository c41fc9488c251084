// The command line's options and their parser (CLI11): names, values' names, descriptions and
// the checks of names and numbers; the help is the formatter's of cli_usage.
#include "app/cli_options.h"

#include <CLI/CLI.hpp>

#include "app/cli_checks.h"
#include "app/cli_usage.h"
#include "app/sql_dialect.h"

namespace {

// The export's own inputs and outputs, and the form of its script.
void AddExportOptions(CLI::App& cli, TCliChoice& c) {
    cli.add_option("--dict", c.Dict,
                   "the dictionary: a Btrieve dictionary file (.def), or a DDF data dictionary "
                   "(its folder or FILE.DDF); without it the file's own keys give the columns")
        ->group(kOptionalInputGroup)
        ->type_name("FILE|DIR");
    cli.add_option("--dict-table", c.DictTable,
                   "the DDF dictionary's table to read the data file by (its Xf$Name)")
        ->type_name("NAME");
    cli.add_option("--base", c.Base, "the Btrieve data file to export")
        ->group(kNeededGroup)
        ->type_name("FILE");
    cli.add_option("--sql", c.Sql,
                   "the SQL script to write, - for standard output; with --all one FILE for "
                   "every table or a DIR/ for a script per table")
        ->group(kNeededGroup)
        ->type_name("FILE");
    cli.add_option("--table", c.Table, "the table's name in the script")->type_name("NAME");
    cli.add_option("--commit", c.Commit,
                   "a COMMIT WORK after every N records, 0 only at the end (default: 1000; a "
                   "target's script commits once per table unless it is given)")
        ->type_name("N")
        ->transform(WholeNumber(0));
    cli.add_flag("--ddl,!--no-ddl", c.Ddl,
                 "write the CREATE TABLE statement, or not (default: write it)");
    cli.add_option("--settings", c.Settings, "a settings file (.set) read before the options")
        ->type_name("FILE");
    cli.add_option("--save-settings", c.SaveSettings, "write the settings to this file")
        ->type_name("FILE");
    const std::vector<std::string> encodings = {"cp1251", "utf8"};
    cli.add_option("--encoding", c.Encoding,
                   "the script's encoding, one of: " + ChoiceList(encodings) +
                       " (default: cp1251 for classic, utf8 for every other target)")
        ->type_name("NAME")
        ->transform(OneOf(encodings));
    const std::vector<int> codePages = {437, 850, 852, 866, 1250, 1251, 1252};
    std::vector<std::string> codePageNames;
    for (const int page : codePages) codePageNames.push_back(std::to_string(page));
    cli.add_option("--codepage,--oem-codepage", c.OemCodePage,
                   "the code page of the data's text, one of: " + ChoiceList(codePageNames) +
                       " (default: 866; 437 to 866 are OEM, 1250 to 1252 a Windows program's)")
        ->type_name("N")
        ->transform(CodePageOf(codePages));
}

void AddDatabaseOptions(CLI::App& cli, TCliChoice& c) {
    cli.add_flag("--all", c.All, "export every table of the dictionary")->group(kDictionaryGroup);
    cli.add_flag("--list", c.List, "list the tables of the dictionary and their data files")
        ->group(kDictionaryGroup);
    cli.add_option("--data-dir", c.DataDir,
                   "the folder of the data files (default: the dictionary's)")
        ->group(kDictionaryGroup)
        ->type_name("DIR");
    cli.add_option("-j,--jobs", c.Jobs,
                   "with --all, the tables exported at once (default: the number of cores)")
        ->group(kDictionaryGroup)
        ->type_name("N")
        ->transform(WholeNumber(1, 256));
    cli.add_flag("--no-indexes", c.NoIndexes,
                 "leave out the primary key and indexes a target's script states after the data");
}

void AddTargetOptions(CLI::App& cli, TCliChoice& c) {
    const std::vector<std::string> targets = SqlTargetNames();
    cli.add_option(
           "--target", c.Target,
           "the database the script is for, one of: " + ChoiceList(targets) + " (default: classic)")
        ->type_name("NAME")
        ->transform(OneOf(targets));
    cli.add_option("--rows-per-insert", c.RowsPerInsert,
                   "records per INSERT statement (default: 1; postgresql, mysql, sqlite)")
        ->type_name("N")
        ->transform(WholeNumber(1));
    cli.add_flag("--copy", c.Copy, "COPY ... FROM STDIN blocks instead of INSERTs (postgresql)");
    cli.add_flag("--strict", c.Strict,
                 "stop at a value the target cannot store (NaN, infinity) or stored bytes "
                 "without a number, instead of writing NULL with a warning");
    cli.add_option("--rename", c.RenameFile,
                   "a file of new names for tables and columns: TABLE=NEW and TABLE.COLUMN=NEW "
                   "lines (targets other than classic)")
        ->type_name("FILE");
    cli.add_flag("--drop-table", c.DropTable,
                 "drop an existing table of the same name before the definition");
}

void AddRunOptions(CLI::App& cli, TCliChoice& c) {
    cli.add_option("--engine", c.Engine,
                   "the Btrieve engine: a client library's path, auto (the vendor's usual "
                   "libraries) or embedded (default: QUORVATH_BTRIEVE_LIBRARY, else embedded)")
        ->type_name("LIBRARY");
    cli.add_option("--wait", c.WaitSeconds,
                   "seconds to wait for a file or record another process has locked, 0 fails "
                   "at once (default: 5)")
        ->type_name("SECONDS")
        ->transform(WholeNumber(0, 86400));
    cli.add_flag("--force", c.Force,
                 "export a data file whose dictionary describes less than half of its record "
                 "length, or more than all of it");
    cli.add_flag("--progress", c.Progress,
                 "draw the progress line even when standard error is no terminal");
    cli.add_flag("--quiet", c.Quiet,
                 "show nothing but errors: no progress, warnings, message or summary");
    cli.add_flag("--version", c.Version, "print the version and the Btrieve engine, then exit");
}

}  // namespace

TCliParse ParseCommandLine(const std::vector<std::string>& args) {
    TCliParse parse;
    TCliChoice& c = parse.Choice;
    CLI::App cli{"Exports one Btrieve data file, or every table of a dictionary, as SQL scripts.",
                 "quorvath"};
    SetUsageTexts(cli);
    AddExportOptions(cli, c);
    AddDatabaseOptions(cli, c);
    AddTargetOptions(cli, c);
    AddRunOptions(cli, c);
    c.Usage = UsageLine(cli) + "\n" + TryHelpLine(cli) + "\n";

    std::vector<std::string> reversed(args.rbegin(), args.rend());
    if (!reversed.empty()) reversed.pop_back();  // the program name
    try {
        cli.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parse.Done = true;
        parse.Text = cli.help();
        return parse;
    } catch (const CLI::ParseError& e) {
        parse.Done = true;
        parse.Status = 1;
        parse.Text = std::string(e.what()) + "\n" + c.Usage;
        return parse;
    }
    for (const CLI::Option* option : cli.get_options())
        if (option->count() > 0 && !option->get_lnames().empty())
            c.Given.insert("--" + option->get_lnames().front());
    return parse;
}
