// The command line over the in-memory dataset: options, messages, exit statuses, the stop
// signal, settings files.
#include "app/command_line.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/progress_meter.h"
#include "app/sql_names.h"
#include "btrieve/btr_error.h"
#include "memory_dataset.h"
#include "platform/codepage.h"
#include "platform/exception.h"

namespace {

const std::string kUsageLines =
    "Usage: quorvath [--dict FILE|DIR] --base FILE --sql FILE [OPTIONS]\n"
    "  or:  quorvath --dict FILE|DIR --all --sql FILE|DIR/ [OPTIONS]\n"
    "  or:  quorvath --dict FILE|DIR --list [--data-dir DIR]\n";
const std::string kUsage = kUsageLines + "Try 'quorvath --help' for more information.\n";

class CommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("quorvath_cli_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        sql_ = (dir_ / "out.sql").string();
        env.MakeDataSet = [this] {
            auto ds = std::make_unique<TMemoryDataSet>();
            ds->AddColumn("N", ftInteger);
            for (int i = 1; i <= rows_; ++i) ds->AddRow({Native<int32_t>(i)});
            ds->OnFetch = onFetch_;
            return ds;
        };
        env.NameDataSet = [this](TDataSet&, const std::string& d, const std::string& b) {
            named_ = d + "|" + b;
        };
        env.Out = &out_;
        env.Err = &err_;
        env.Clock = [] { return 0.0; };
        env.Seconds = [] { return 0.0; };
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), "quorvath");
        return RunCommandLine(args, env);
    }
    std::string Script(const std::string& name = {}) {
        std::ifstream in(name.empty() ? sql_ : name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // The closing line of a run that read and wrote records into script (its size as the
    // disk has it; the fixed clock makes it 0.0 s unless a test moves it).
    static std::string Summary(const std::string& table, int records, const std::string& script,
                               const std::string& seconds = "0.0") {
        return table + ": " + GroupedNumber(records) + " records read, " + GroupedNumber(records) +
               " written, 0 warnings, " +
               GroupedNumber(static_cast<int64_t>(std::filesystem::file_size(script))) +
               " bytes in " + seconds + " s to " + script + "\n";
    }
    static size_t Count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
        return n;
    }

    std::filesystem::path dir_;
    std::string sql_;
    int rows_ = 3;
    std::function<void(int)> onFetch_;
    std::string named_;
    std::ostringstream out_, err_;
    TCommandLineEnv env;
};

TEST_F(CommandLine, ExportsAndReportsTheCount) {
    EXPECT_EQ(Run({"--dict", "a.def", "--base", "b.dbt", "--sql", sql_, "--table", "T", "--commit",
                   "2", "--no-ddl"}),
              kExitDone);
    EXPECT_EQ(out_.str(),
              "Extract completed successfuly!\nRecords imported: 3\n" + Summary("T", 3, sql_));
    EXPECT_EQ(err_.str(), "");  // not a terminal: no progress
    EXPECT_EQ(named_, "a.def|b.dbt");
    const std::string s = Script();
    EXPECT_EQ(Count(s, "COMMIT WORK;\r\n"), 2u);
    EXPECT_EQ(Count(s, "Create table"), 0u);
    EXPECT_NE(s.find("INSERT INTO T (N) VALUES (3);\r\nCOMMIT WORK;\r\n"), std::string::npos);
    EXPECT_EQ(Run({"--dict", "a.def", "--base", "b.dbt", "--sql", sql_, "--table", "T"}),
              kExitDone);
    EXPECT_NE(Script().find("Create table T (  \r\n  N INTEGER\r\n  );\r\n"), std::string::npos);
}

TEST_F(CommandLine, StopSignalAfterTheFirstProgressPoint) {
    rows_ = 1000;
    std::ofstream(sql_, std::ios::binary) << "earlier script";
    for (int signal : {SIGINT, SIGTERM}) {
        out_.str("");
        InstallStopSignals();  // the handler is reset by each signal it takes
        onFetch_ = [signal](int row) {
            if (row == 150) std::raise(signal);
        };
        EXPECT_EQ(Run({"--dict", "a.def", "--base", "b.dbt", "--sql", sql_, "--table", "T",
                       "--commit", "0", "--no-ddl"}),
                  kExitStopped);
        EXPECT_EQ(out_.str(), "Extract aborted! The partial script is " + sql_ +
                                  ".partial, 200 records\n" + Summary("T", 200, sql_ + ".partial"));
        // The earlier script stays; the records read go to the partial one, completed.
        EXPECT_EQ(Script(), "earlier script");
        const std::string s = Script(sql_ + ".partial");
        EXPECT_EQ(Count(s, "INSERT INTO"), 200u) << signal;
        const std::string tail = "INSERT INTO T (N) VALUES (200);\r\nCOMMIT WORK;\r\n";
        ASSERT_GE(s.size(), tail.size());
        EXPECT_EQ(s.substr(s.size() - tail.size()), tail);
    }
    // A later run starts without the old request.
    onFetch_ = nullptr;
    out_.str("");
    EXPECT_EQ(Run({"--dict", "a.def", "--base", "b.dbt", "--sql", sql_}), kExitDone);
    EXPECT_EQ(out_.str(), "Extract completed successfuly!\nRecords imported: 1000\n" +
                              Summary("b", 1000, sql_));
}

// A run that fails leaves an earlier script byte for byte as it was, and no temporary.
TEST_F(CommandLine, FailedRunKeepsTheEarlierScript) {
    const std::string earlier = "-- earlier script\r\nINSERT INTO T (N) VALUES (7);\r\n";
    const std::string longName(32, 'N');
    const struct {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"--target", "firebird", "--table", longName},
         "The name " + longName + " is longer than the 31 bytes Firebird takes\n"},
        {{"--table", "T"}, "Broken\n"},  // a fetch that fails midway, after 1500 records
    };
    rows_ = 2000;
    for (const auto& c : cases) {
        std::ofstream(sql_, std::ios::binary) << earlier;
        onFetch_ = [&c](int row) {
            if (c.error == "Broken\n" && row == 1500) throw Exception("Broken");
        };
        err_.str("");
        std::vector<std::string> args = {"--dict", "a.def", "--base", "b.dbt", "--sql", sql_};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(Run(args), kExitError) << c.error;
        EXPECT_EQ(err_.str(), c.error);
        EXPECT_EQ(Script(), earlier) << c.error;
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            names.push_back(e.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"out.sql"}) << c.error;
    }
}

// A script replaced by a run keeps the permissions of the file it replaces; a new one gets
// those of a new file.
TEST_F(CommandLine, ReplacedScriptKeepsItsPermissions) {
    const mode_t mask = ::umask(027);
    EXPECT_EQ(Run({"--base", "b.dbt", "--sql", sql_}), kExitDone);
    EXPECT_EQ(std::filesystem::status(sql_).permissions(), std::filesystem::perms(0640));
    std::filesystem::permissions(sql_, std::filesystem::perms(0604));
    EXPECT_EQ(Run({"--base", "b.dbt", "--sql", sql_}), kExitDone);
    EXPECT_EQ(std::filesystem::status(sql_).permissions(), std::filesystem::perms(0604));
    ::umask(mask);
}

TEST_F(CommandLine, WithoutDictionaryTheTableIsNamedAfterTheFile) {
    EXPECT_EQ(Run({"--base", "/data/Clients.DAT", "--sql", sql_}), kExitDone);
    EXPECT_EQ(named_, "|/data/Clients.DAT");
    EXPECT_NE(Script().find("INSERT INTO Clients (N) VALUES (1);"), std::string::npos);
    // A name given wins.
    EXPECT_EQ(Run({"--base", "c.dat", "--sql", sql_, "--table", "T"}), kExitDone);
    EXPECT_NE(Script().find("INSERT INTO T (N) VALUES (1);"), std::string::npos);
}

TEST_F(CommandLine, ErrorsGoToStandardErrorWithStatusOne) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--dict", "d", "--sql", "s"}, "No data file given (--base)\n" + kUsage},
        {{"--dict", "d", "--base", "b"}, "No script file given (--sql)\n" + kUsage},
        {{}, "No data file given (--base)\nNo script file given (--sql)\n" + kUsage},
        {{"--bogus"}, "The following argument was not expected: --bogus\n" + kUsage},
        {{"--dict"}, "--dict: 1 required FILE|DIR missing\n" + kUsage},
        {{"--dict", "d", "--base", "b", "--sql", sql_, "--commit", " 5x"},
         "' 5x' is not a valid integer value\n"},
        {{"--dict", "d", "--base", "b", "--sql", sql_, "--commit", "5 5"},
         "'5 5' is not a valid integer value\n"},
        {{"--dict", "d", "--base", "b", "--sql", sql_, "--commit", "1e3"},
         "'1e3' is not a valid integer value\n"},
        {{"--dict", "d", "--base", "b", "--sql", "/tmp"},
         "File access denied: /tmp (Is a directory)\n"},
        {{"--dict", "d", "--base", "b", "--sql", "s", "--table", "\xE2\x94\x80T"},
         "The value of --table holds characters outside code page 1251: ?T\n"},
        {{"--settings", "/nonexistent.set"}, "Settings file not found: /nonexistent.set\n"},
    };
    for (const auto& [args, message] : cases) {
        err_.str("");
        EXPECT_EQ(Run(args), kExitError) << message;
        EXPECT_EQ(err_.str(), message);
    }
    EXPECT_EQ(out_.str(), "");
    EXPECT_FALSE(std::filesystem::exists(sql_));  // the commit period failed before the file
}

// The progress line on a terminal: the table, the count of the file's total, a bar, the
// rate, the time spent and left, redrawn at most once a second (the clock here moves with
// the records fetched).
TEST_F(CommandLine, ProgressOnATerminalAboutOnceASecond) {
    rows_ = 450;
    env.ErrIsTerminal = true;
    double now = 0;
    env.Seconds = [&now] { return now; };
    const struct {
        double perRecord;     // seconds per record fetched
        std::string seconds;  // the run's, in the closing line
        std::string err;
    } cases[] = {
        {0.01, "4.5",
         "\rb: 100 of 450 [####................]  22%, 101 records/s, 0:00 elapsed, 0:03 left"
         "\rb: 200 of 450 [########............]  44%, 100 records/s, 0:01 elapsed, 0:02 left"
         "\rb: 300 of 450 [#############.......]  66%, 100 records/s, 0:02 elapsed, 0:01 left"
         "\rb: 400 of 450 [#################...]  88%, 100 records/s, 0:03 elapsed, 0:00 left\n"},
        // Every 100 records take 0.6 s: one line in two is drawn.
        {0.006, "2.7",
         "\rb: 100 of 450 [####................]  22%, 168 records/s, 0:00 elapsed, 0:02 left"
         "\rb: 300 of 450 [#############.......]  66%, 167 records/s, 0:01 elapsed, 0:00 left\n"},
    };
    for (const auto& c : cases) {
        err_.str("");
        onFetch_ = [&](int row) { now = row * c.perRecord; };
        EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_}), kExitDone);
        EXPECT_EQ(err_.str(), c.err) << c.perRecord;
        EXPECT_EQ(out_.str(), "Extract completed successfuly!\nRecords imported: 450\n" +
                                  Summary("b", 450, sql_, c.seconds));
        out_.str("");
    }
}

// The progress line is drawn on a terminal or when --progress asks, never with --quiet, which
// also leaves out the final message and the closing line; errors are always said.
TEST_F(CommandLine, ProgressAndQuietChooseWhatIsShown) {
    rows_ = 250;
    double now = 0;
    env.Seconds = [&now] { return now; };
    onFetch_ = [&now](int row) { now = row * 0.01; };
    const std::string progress =
        "\rb: 100 of 250 [########............]  40%, 101 records/s, 0:00 elapsed, 0:01 left"
        "\rb: 200 of 250 [################....]  80%, 100 records/s, 0:01 elapsed, 0:00 left\n";
    const struct {
        bool terminal;
        std::vector<std::string> flags;
        bool drawn, told;  // the progress line; the final message and closing line
    } cases[] = {
        {true, {}, true, true},
        {false, {}, false, true},
        {false, {"--progress"}, true, true},
        {true, {"--quiet"}, false, false},
        {false, {"--progress", "--quiet"}, false, false},
    };
    for (const auto& c : cases) {
        env.ErrIsTerminal = c.terminal;
        out_.str("");
        err_.str("");
        std::vector<std::string> args = {"--dict", "d", "--base", "b", "--sql", sql_};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        EXPECT_EQ(Run(args), kExitDone);
        EXPECT_EQ(err_.str(), c.drawn ? progress : "") << c.terminal << c.flags.size();
        EXPECT_EQ(out_.str(), c.told ? "Extract completed successfuly!\nRecords imported: 250\n" +
                                           Summary("b", 250, sql_, "2.5")
                                     : "")
            << c.terminal << c.flags.size();
    }
    // An error is said however quiet the run.
    onFetch_ = [](int row) {
        if (row == 3) throw Exception("Broken");
    };
    err_.str("");
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_, "--quiet"}), kExitError);
    EXPECT_EQ(err_.str(), "Broken\n");
}

TEST_F(CommandLine, FetchErrorShowsTheBtrieveBoxThenEndsTheRun) {
    rows_ = 150;
    env.ErrIsTerminal = true;
    onFetch_ = [](int row) {
        if (row == 120) {
            EBtrieve error("\xD1\xE1\xEE\xE9");  // "Сбой" in CP1251
            ShowBtrieveError(error);
            throw error;
        }
    };
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_}), kExitError);
    EXPECT_EQ(err_.str(),
              "\rb: 100 of 150 [#############.......]  66%, 0 records/s, 0:00 elapsed\n"
              "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 Btrieve: "
              "\xD0\xA1\xD0\xB1\xD0\xBE\xD0\xB9\n"
              "\xD0\xA1\xD0\xB1\xD0\xBE\xD0\xB9\n");
    EXPECT_EQ(out_.str(), "");
}

TEST_F(CommandLine, CyrillicArgumentsBecomeSystemText) {
    // "Таблица" typed in UTF-8 stands as CP1251 in the script.
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_, "--no-ddl", "--table",
                   "\xD0\xA2\xD0\xB0\xD0\xB1\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0"}),
              kExitDone);
    EXPECT_NE(Script().find("INSERT INTO \xD2\xE0\xE1\xEB\xE8\xF6\xE0 (N)"), std::string::npos);
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_, "--no-ddl", "--encoding", "utf8",
                   "--table", "\xD0\xA2"}),
              kExitDone);
    EXPECT_NE(Script().find("INSERT INTO \xD0\xA2 (N)"), std::string::npos);
}

TEST_F(CommandLine, SettingsFilesAreReadBeforeTheOptionsAndSaved) {
    const std::string set = (dir_ / "my.set").string();
    EXPECT_EQ(
        Run({"--dict", "d.def", "--table", "FromSet", "--commit", "7", "--save-settings", set}),
        kExitDone);  // no data file: saved, nothing exported
    std::ifstream in(set);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_EQ(ss.str(),
              "[Config]\nDictionaryFileName=d.def\nBaseFileName=\nSQLFileName=\n"
              "ImpTableName=FromSet\nCommitPeriod=7\n");
    EXPECT_EQ(Run({"--settings", set, "--base", "b.dbt", "--sql", sql_, "--no-ddl"}), kExitDone);
    EXPECT_EQ(named_, "d.def|b.dbt");
    EXPECT_NE(Script().find("INSERT INTO FromSet (N) VALUES (1);"), std::string::npos);
}

TEST_F(CommandLine, BadTargetFormsNameTheOptionAndTouchNoFile) {
    std::ofstream(sql_) << "old";
    const std::vector<std::string> base = {"--dict", "d", "--base", "b", "--sql", sql_};
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--target", "postgresql", "--copy", "--rows-per-insert", "10"},
         "--rows-per-insert does not go with --copy\n"},
        {{"--target", "firebird", "--rows-per-insert", "10"},
         "--rows-per-insert above 1 needs --target postgresql, mysql or sqlite, not firebird\n"},
        {{"--rows-per-insert", "2"},
         "--rows-per-insert above 1 needs --target postgresql, mysql or sqlite, not classic\n"},
        {{"--drop-table"}, "--drop-table needs a --target other than classic\n"},
        {{"--target", "mysql", "--drop-table", "--no-ddl"},
         "--drop-table does not go with --no-ddl\n"},
    };
    for (const auto& [extra, message] : cases) {
        err_.str("");
        std::vector<std::string> args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(Run(args), kExitError) << message;
        EXPECT_EQ(err_.str(), message);
    }
    EXPECT_EQ(out_.str(), "");
    EXPECT_EQ(Script(), "old");
    EXPECT_TRUE(named_.empty());  // no dataset was opened either
}

TEST_F(CommandLine, TargetsTakeUtf8UnlessTold) {
    // "Т" in UTF-8 as the table name: CP1251 in the classic script, UTF-8 in a target's.
    const std::vector<std::string> base = {"--dict", "d",       "--base",   "b",       "--sql",
                                           sql_,     "--table", "\xD0\xA2", "--no-ddl"};
    auto with = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(Run(args), kExitDone);
        return Script();
    };
    EXPECT_NE(with({}).find("INSERT INTO \xD2 (N)"), std::string::npos);
    const std::string firebird = with({"--target", "firebird"});
    EXPECT_NE(
        firebird.find("INSERT INTO \"\xD0\xA2_LOAD\" (N) VALUES (3);\nINSERT INTO \"\xD0\xA2\" "
                      "(N) SELECT N FROM \"\xD0\xA2_LOAD\";\n"),
        std::string::npos)
        << firebird;
    const std::string cp1251 = with({"--target", "mysql", "--encoding", "cp1251"});
    EXPECT_NE(cp1251.find("/* Target: mysql; encoding: CP1251 */\nSET NAMES cp1251;\n"),
              std::string::npos);
    EXPECT_NE(cp1251.find("INSERT INTO `\xD2` (N) VALUES (1);\n"), std::string::npos);
    EXPECT_NE(with({"--target", "sqlite", "--rows-per-insert", "2", "--commit", "3"})
                  .find("BEGIN TRANSACTION;\nINSERT INTO \"\xD0\xA2\" (N) VALUES\n(1),\n(2);\n"
                        "INSERT INTO \"\xD0\xA2\" (N) VALUES\n(3);\nCOMMIT;\n"),
              std::string::npos);
}

TEST_F(CommandLine, CommitPeriodWithBlanksAround) {
    rows_ = 6;
    for (const char* period : {" 5", "5 ", "\t5 "}) {
        EXPECT_EQ(
            Run({"--dict", "d", "--base", "b", "--sql", sql_, "--no-ddl", "--commit", period}),
            kExitDone)
            << err_.str();
        EXPECT_NE(Script().find("VALUES (5);\r\nCOMMIT WORK;\r\nINSERT"), std::string::npos)
            << period;
    }
}

TEST_F(CommandLine, SavingSettingsAloneSaysWhatItWrote) {
    const std::string set = (dir_ / "alone.set").string();
    EXPECT_EQ(Run({"--table", "T", "--save-settings", set}), kExitDone);
    EXPECT_EQ(out_.str(), "Settings written to " + set + "\n");
    EXPECT_EQ(err_.str(), "");
    EXPECT_TRUE(std::filesystem::exists(set));
}

TEST_F(CommandLine, BtrieveMessagesFollowedByEnglishForOtherLocales) {
    EXPECT_TRUE(WantsEnglishStatusLines(nullptr, nullptr, "en_US.UTF-8"));
    EXPECT_TRUE(WantsEnglishStatusLines(nullptr, nullptr, nullptr));
    EXPECT_TRUE(WantsEnglishStatusLines("", "C.UTF-8", "ru_RU.UTF-8"));
    EXPECT_FALSE(WantsEnglishStatusLines(nullptr, nullptr, "ru_RU.UTF-8"));
    EXPECT_FALSE(WantsEnglishStatusLines("ru_UA.UTF-8", "en_US", "en_US"));

    // The opening error of the run and the box of a failing fetch, each with its line.
    env.EnglishStatusLines = true;
    env.NameDataSet = [](TDataSet&, const std::string&, const std::string&) {
        throw EBtrieve(12, 0, "/d/none.def");
    };
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_}), kExitError);
    EXPECT_EQ(err_.str(), AnsiToUtf8(BtrErrorMessage(12, 0, "/d/none.def")) +
                              "\nBtrieve status 12: file not found: /d/none.def (No such file or "
                              "directory)\n");
    err_.str("");
    env.NameDataSet = nullptr;
    onFetch_ = [](int row) {
        if (row == 1) {
            EBtrieve error(46, 6, "/d/b.dbt");
            ShowBtrieveError(error);
            throw error;
        }
    };
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_}), kExitError);
    const std::string message = AnsiToUtf8(BtrErrorMessage(46, 6, "/d/b.dbt"));
    const std::string english =
        "\nBtrieve status 46: access to the file denied: /d/b.dbt (No such file or directory)\n";
    EXPECT_EQ(err_.str(),
              AnsiToUtf8(BtrieveErrorCaption()) + ": " + message + english + message + english);
    // Other errors have no such line.
    err_.str("");
    onFetch_ = [](int row) {
        if (row == 1) throw Exception("Broken");
    };
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_}), kExitError);
    EXPECT_EQ(err_.str(), "Broken\n");
}

// The first signal stops the run, the second is taken while the stop completes the script,
// the third ends the program the usual way.
TEST(StopSignals, FirstStopsSecondWaitsThirdEnds) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstallStopSignals();
        ClearStopSignal();
        std::raise(SIGINT);
        if (!StopSignalled()) ::_exit(10);
        std::raise(SIGTERM);  // the second: still taken
        if (!StopSignalled()) ::_exit(11);
        std::raise(SIGINT);  // the third ends the program
        ::_exit(12);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    EXPECT_EQ(WTERMSIG(status), SIGINT);
}

TEST_F(CommandLine, SecondSignalDuringTheStopStillCompletesTheScript) {
    rows_ = 1000;
    InstallStopSignals();
    onFetch_ = [](int row) {
        if (row == 150 || row == 160) std::raise(SIGINT);
    };
    EXPECT_EQ(Run({"--dict", "a.def", "--base", "b.dbt", "--sql", sql_, "--table", "T", "--commit",
                   "0", "--no-ddl"}),
              kExitStopped);
    EXPECT_EQ(out_.str(), "Extract aborted! The partial script is " + sql_ +
                              ".partial, 200 records\n" + Summary("T", 200, sql_ + ".partial"));
    const std::string s = Script(sql_ + ".partial");
    const std::string tail = "INSERT INTO T (N) VALUES (200);\r\nCOMMIT WORK;\r\n";
    ASSERT_GE(s.size(), tail.size());
    EXPECT_EQ(s.substr(s.size() - tail.size()), tail);
    InstallStopSignals();  // the two signals left the default action in place
}

TEST_F(CommandLine, NamesTakenInAnyCaseNearMissesAndNumbersRefused) {
    std::ofstream(sql_) << "old";
    const std::vector<std::string> base = {"--dict", "d", "--base", "b", "--sql", sql_};
    const std::string targets = "classic, firebird, postgresql, mysql, sqlite";
    const std::string pages = "437, 850, 852, 866, 1250, 1251, 1252";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--target", "postgres"},
         "--target: postgres is not one of " + targets + "; did you mean postgresql?"},
        {{"--target", "SQLtie"},
         "--target: SQLtie is not one of " + targets + "; did you mean sqlite?"},
        {{"--target", "oracle"}, "--target: oracle is not one of " + targets},
        {{"--encoding", "utf16"},
         "--encoding: utf16 is not one of cp1251, utf8; did you mean utf8?"},
        {{"--encoding", "koi8-r"}, "--encoding: koi8-r is not one of cp1251, utf8"},
        {{"--codepage", "865"}, "--codepage: 865 is not one of " + pages + "; did you mean 866?"},
        {{"--oem-codepage", "cp1253"},
         "--codepage: cp1253 is not one of " + pages + "; did you mean 1250, 1251 or 1252?"},
        {{"--commit", "-5"}, "--commit: must be 0 or more, not -5"},
        {{"--commit", " -1 "}, "--commit: must be 0 or more, not -1"},
        {{"--commit", "99999999999"}, "--commit: must be 0 or more, not 99999999999"},
        {{"--rows-per-insert", "0"}, "--rows-per-insert: must be 1 or more, not 0"},
        {{"--wait", "-1"}, "--wait: must be from 0 to 86400, not -1"},
        {{"--wait", "86401"}, "--wait: must be from 0 to 86400, not 86401"},
    };
    for (const auto& [extra, message] : cases) {
        err_.str("");
        std::vector<std::string> args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        EXPECT_EQ(Run(args), kExitError) << message;
        EXPECT_EQ(err_.str(), message + "\n" + kUsage);
    }
    EXPECT_EQ(Script(), "old");
    // The names as people write them; 0 commits only at the end.
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_, "--target", "PostgreSQL",
                   "--encoding", "UTF-8", "--codepage", "CP437", "--commit", "0", "--wait", "0"}),
              kExitDone)
        << err_.str();
    EXPECT_NE(Script().find("/* Target: postgresql; encoding: UTF-8 */"), std::string::npos);
    EXPECT_EQ(Run({"--dict", "d", "--base", "b", "--sql", sql_, "--target", "MySQL", "--encoding",
                   "Cp_1251", "--codepage", "windows-1252"}),
              kExitDone)
        << err_.str();
    EXPECT_NE(Script().find("/* Target: mysql; encoding: CP1251 */"), std::string::npos);
}

TEST_F(CommandLine, SettingsFilesNameTheTargetInAnyCase) {
    const std::string set = (dir_ / "t.set").string();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"PostgreSQL", ""},
        {"postgre",
         "Unknown target postgre: --target takes classic, firebird, postgresql, mysql "
         "or sqlite; did you mean postgresql?\n"},
        {"oracle",
         "Unknown target oracle: --target takes classic, firebird, postgresql, mysql "
         "or sqlite\n"},
    };
    for (const auto& [name, message] : cases) {
        std::ofstream(set) << "[Config]\nTarget=" << name << "\n";
        err_.str("");
        EXPECT_EQ(Run({"--settings", set, "--base", "b", "--sql", sql_}),
                  message.empty() ? kExitDone : kExitError);
        EXPECT_EQ(err_.str(), message);
    }
}

TEST_F(CommandLine, HelpListsEveryOptionExitStatusesEncodingAndCtrlC) {
    EXPECT_EQ(Run({"--help"}), kExitDone);
    const std::string help = out_.str();
    const std::string head = kUsageLines +
                             "Exports one Btrieve data file, or every table of a dictionary, as "
                             "SQL scripts.\n"
                             "\n"
                             "Needed for an export (here or in the --settings file):\n"
                             "  --base FILE           the Btrieve data file to export\n";
    EXPECT_EQ(help.substr(0, head.size()), head);
    // Every option's description starts at one column, or on the next line when the names
    // reach it, and no line passes the 79th column; a value has a name, never the parser's.
    std::istringstream lines(help);
    int options = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size(), 79u) << line;
        if (line.rfind("  -", 0) != 0) continue;
        ++options;
        const size_t gap = line.find("  ", 2);
        const std::string left = line.substr(0, gap);
        EXPECT_EQ(left.find_first_of("{}:"), std::string::npos) << line;
        EXPECT_EQ(left.find("TEXT"), std::string::npos) << line;
        if (gap != std::string::npos) {
            EXPECT_EQ(line.find_first_not_of(' ', gap), 24u) << line;
        }
    }
    EXPECT_EQ(options, 29);
    EXPECT_NE(help.find("\n  --ddl, --no-ddl       write the CREATE TABLE"), std::string::npos);
    EXPECT_NE(help.find("\n  --codepage, --oem-codepage N\n                        the code page"),
              std::string::npos);
    const std::string footer =
        "Exit status:\n"
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
    ASSERT_GE(help.size(), footer.size());
    EXPECT_EQ(help.substr(help.size() - footer.size()), footer);
}

TEST_F(CommandLine, HelpAndVersion) {
    EXPECT_EQ(Run({"--version"}), kExitDone);
    EXPECT_EQ(out_.str().rfind("quorvath ", 0), 0u);
    out_.str("");
    EXPECT_EQ(Run({"--help"}), kExitDone);
    EXPECT_NE(out_.str().find("--no-ddl"), std::string::npos);
    EXPECT_EQ(Run({"--bogus"}), kExitError);
    EXPECT_NE(err_.str().find("--bogus"), std::string::npos);
}

}  // namespace

namespace {

// A rename file: table and column lines read, its faults refused naming file and line.
TEST(RenameFile, LinesAndFaults) {
    const std::string name =
        (std::filesystem::temp_directory_path() / ("quorvath_rename_" + std::to_string(getpid())))
            .string();
    auto read = [&](const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
        try {
            const TRenames renames = ReadRenames(name);
            std::string out;
            for (const auto& [from, to] : renames) out += from + ">" + to + ";";
            return out;
        } catch (const Exception& e) {
            return e.Message().substr(name.size());
        }
    };
    struct TCase {
        const char* Text;
        std::string Read;
    };
    const TCase cases[] = {
        {"# names\r\nOrders = Ord\n\n  Orders.Customer "
         "name=CUST\n\xD0\xA6\xD0\xB5\xD0\xBD\xD0\xB0=P\n",
         "Orders>Ord;Orders.Customer name>CUST;\xD6\xE5\xED\xE0>P;"},
        {"A=B\nC\n", ", line 2: no \"=\" between the old name and the new one"},
        {"A=\n", ", line 1: a name is empty"},
        {"T.=X\n", ", line 1: a name is empty"},
        {"A=B\nA=C\n", ", line 2: the old name is given twice"},
        {"A=\xE2\x95\x94\n", ", line 1: a name holds letters code page 1251 lacks"},
    };
    for (const TCase& c : cases) EXPECT_EQ(read(c.Text), c.Read) << c.Text;
    std::filesystem::remove(name);
    try {
        ReadRenames(name);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Rename file not found: " + name);
    }
}

}  // namespace
