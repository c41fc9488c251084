// The quorvath program itself on the demo dictionary and data file: the script, the messages
// and exit statuses of the failures a user meets first.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

const std::string kBin = QUORVATH_BINARY_DIR;
const std::string kProgram = kBin + "/app/quorvath";
const std::string kDict = kBin + "/examples/demo.def";
const std::string kBase = kBin + "/examples/clients.dbt";

struct TResult {
    int status = -1;
    std::string out, err;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("quorvath_prog_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        sql_ = (dir_ / "out.sql").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Runs the program with standard output and error into files (not a terminal).
    TResult Run(const std::string& args) {
        const std::string out = (dir_ / "stdout").string(), err = (dir_ / "stderr").string();
        const std::string cmd = "'" + kProgram + "' " + args + " >'" + out + "' 2>'" + err + "'";
        TResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadAll(out);
        r.err = ReadAll(err);
        return r;
    }

    std::filesystem::path dir_;
    std::string sql_;
};

// 1234 as "1,234".
std::string Grouped(uintmax_t n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
    return digits;
}

// The closing line of the demo's export of 12 records into script (named as given), what it
// wrote bytes long; the seconds are whatever the run took.
std::string SummaryPattern(int warnings, uintmax_t bytes, const std::string& script) {
    return "CLIENTS: 12 records read, 12 written, " + std::to_string(warnings) + " warning" +
           (warnings == 1 ? "" : "s") + ", " + Grouped(bytes) + " bytes in [0-9]+\\.[0-9] s to " +
           script + "\n";
}

// The classic script's line about the demo's one text value with letters CP1251 lacks.
std::string kLookAlikes(const std::string& table) {
    return "Table " + table +
           ": 1 text values changed: characters code page 1251 lacks (box drawing) written as "
           "look-alikes; --encoding utf8 keeps them\n";
}

TEST_F(Program, ExportsTheDemo) {
    const TResult r = Run("--dict '" + kDict + "' --base '" + kBase + "' --sql '" + sql_ +
                          "' --table CLIENTS --commit 6");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::regex_match(
        r.out, std::regex("Extract completed successfuly!\nRecords imported: 12\n" +
                          SummaryPattern(1, std::filesystem::file_size(sql_), sql_))))
        << r.out;
    // Record 7's box letters have no CP1251 form: the classic script says how many it changed.
    EXPECT_EQ(r.err, kLookAlikes("CLIENTS"));
    const std::string s = ReadAll(sql_);
    // The Cyrillic field name and values stand in CP1251; DATE and AT are renamed.
    EXPECT_NE(s.find("  \xC3\xEE\xF0\xEE\xE4 VARCHAR (16), \r\n"), std::string::npos);
    EXPECT_NE(s.find("  DATE_01 DATE,  /* Warning! Original field \"DATE\" renamed to "
                     "\"DATE_01\" because is reserved word */\r\n"),
              std::string::npos);
    EXPECT_NE(s.find("VALUES (2, '\xD1\xE8\xE4\xEE\xF0\xEE\xE2\xE0 \xC0\xED\xED\xE0', "
                     "'\xD1\xE0\xED\xEA\xF2-\xCF\xE5\xF2\xE5\xF0\xE1\xF3\xF0\xE3', 'A-002', "
                     "'O''Brien', -3, -45, 100, 2.5, '1999/12/31', '23:59:59', 65535, 255, 0.25, "
                     "1E20, 'green', 3);\r\n"),
              std::string::npos);
    // An invalid date and a stored midnight are nulls.
    EXPECT_NE(s.find("VALUES (6, '\xCF\xF3\xF1\xF2\xEE\xE9', '', '', '', 1, 1, 0, 0, NULL, NULL,"),
              std::string::npos);
    EXPECT_EQ(s.substr(s.size() - 28),
              "COMMIT WORK;\r\nCOMMIT WORK;\r\n");  // after the 12th of 12, then the final one
}

TEST_F(Program, EveryTargetOnStandardOutputWithTheMessageOnStandardError) {
    for (const std::string target : {"firebird", "postgresql", "mysql", "sqlite"}) {
        const TResult r = Run("--dict '" + kDict + "' --base '" + kBase +
                              "' --sql - --table CLIENTS --target " + target);
        EXPECT_EQ(r.status, 0) << r.err;
        // The demo's midnight and its date that is no date are written as NULL, each told.
        EXPECT_TRUE(std::regex_match(
            r.err,
            std::regex("Table CLIENTS, field AT: 1 value written as NULL \\(00:00:00, midnight, "
                       "which a TIME of the file cannot tell from no time\\)\nTable CLIENTS, "
                       "field DATE: 1 value written as NULL \\(the stored bytes hold no valid "
                       "date\\)\nExtract completed successfuly!\nRecords imported: 12\n" +
                       SummaryPattern(2, r.out.size(), "standard output"))))
            << r.err;
        EXPECT_EQ(r.out.find("/* Target: " + target + "; encoding: UTF-8 */\n"), 48u) << target;
        // Firebird's rows go from their temporary table into the table at the commit.
        const std::string end =
            target == "firebird" ? "COMMIT;\nDROP TABLE CLIENTS_LOAD;\n" : "COMMIT;\n";
        EXPECT_EQ(r.out.substr(r.out.size() - end.size()), end) << target;
        // The Cyrillic text in UTF-8, the hundredths of a second kept.
        EXPECT_NE(r.out.find("'\xD0\xA1\xD0\xB0\xD0\xBD\xD0\xBA\xD1\x82-\xD0\x9F\xD0\xB5\xD1\x82"
                             "\xD0\xB5\xD1\x80\xD0\xB1\xD1\x83\xD1\x80\xD0\xB3', 'A-002', "
                             "'O''Brien', -3, -45, 100, 2.5, '1999-12-31', '23:59:59.99', 65535, "
                             "255, 0.25, 1e+20, 'green', 3);\n"),
                  std::string::npos)
            << target;
        EXPECT_FALSE(std::filesystem::exists("-"));
    }
    const TResult r = Run("--dict '" + kDict + "' --base '" + kBase +
                          "' --sql - --table CLIENTS --target postgresql --copy --commit 5");
    EXPECT_EQ(r.status, 0) << r.err;
    size_t blocks = 0;
    for (size_t p = r.out.find("\n\\.\n"); p != std::string::npos; p = r.out.find("\n\\.\n", p + 1))
        ++blocks;
    EXPECT_EQ(blocks, 1u);  // one block for the table, whatever --commit says
    EXPECT_EQ(r.out.substr(r.out.size() - 12), "\n\\.\nCOMMIT;\n");
    EXPECT_NE(r.out.find("\nCOPY \"CLIENTS\" (\"ID\", \"NAME\", "
                         "\"\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4\", \"CODE\""),
              std::string::npos);
    EXPECT_NE(r.out.find("\n6\t\xD0\x9F\xD1\x83\xD1\x81\xD1\x82\xD0\xBE\xD0\xB9\t\t\t\t1\t1\t0\t0\t"
                         "\\N\t\\N\t"),
              std::string::npos);
}

TEST_F(Program, WithoutArgumentsSaysWhatIsMissingAndHowToGetHelp) {
    // Without --dict the file's own keys give the columns: only the data file and the script
    // are missing.
    const std::string expected =
        "No data file given (--base)\n"
        "No script file given (--sql)\n"
        "Usage: quorvath [--dict FILE|DIR] --base FILE --sql FILE [OPTIONS]\n"
        "  or:  quorvath --dict FILE|DIR --all --sql FILE|DIR/ [OPTIONS]\n"
        "  or:  quorvath --dict FILE|DIR --list [--data-dir DIR]\n"
        "Try 'quorvath --help' for more information.\n";
    TResult r = Run("");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, expected);
    r = Run("--dict '" + kDict + "' --sql '" + sql_ + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "No data file given (--base)\n" + expected.substr(expected.find("Usage")));
    EXPECT_FALSE(std::filesystem::exists(sql_));
}

TEST_F(Program, MissingFilesAndUnwritableScript) {
    TResult r = Run("--dict '" + (dir_ / "none.def").string() + "' --base '" + kBase + "' --sql '" +
                    sql_ + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 Btrieve \"\xD0\xA4\xD0\xB0"
              "\xD0\xB9\xD0\xBB \xD0\xBD\xD0\xB5 \xD0\xBD\xD0\xB0\xD0\xB9\xD0\xB4\xD0\xB5"
              "\xD0\xBD(12)\" \xD0\xBF\xD1\x80\xD0\xB8 \xD0\xBE\xD0\xBF\xD0\xB5\xD1\x80"
              "\xD0\xB0\xD1\x86\xD0\xB8\xD0\xB8 \"\xD0\x9E\xD1\x82\xD0\xBA\xD1\x80\xD1\x8B"
              "\xD1\x82\xD0\xB8\xD0\xB5 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xB0(0)\" "
              "\xD1\x81 \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xBE\xD0\xBC \"" +
                  (dir_ / "none.def").string() + "\"\nBtrieve status 12: file not found: " +
                  (dir_ / "none.def").string() + " (No such file or directory)\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(std::filesystem::exists(sql_));

    const std::string missing = (dir_ / "clients.dbt").string();
    r = Run("--dict '" + kDict + "' --base '" + missing + "' --sql '" + sql_ + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("(12)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"" + missing + "\"\n"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(sql_));

    r = Run("--dict '" + kDict + "' --base '" + kBase + "' --sql '" + dir_.string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File access denied: " + dir_.string() + " (Is a directory)\n");
}

// FNV-1a of the file's bytes with its size.
std::string Fingerprint(const std::string& path) {
    const std::string bytes = ReadAll(path);
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return std::to_string(bytes.size()) + ":" + std::to_string(h);
}

TEST_F(Program, WriteFaultsEndWithTheRuntimesMessageAndLeaveTheInputsAlone) {
    // Private copies of the demo files: other tests running at the same time use the built ones.
    std::filesystem::create_directories(dir_ / "native");
    const std::string nDict = (dir_ / "native" / "demo.def").string();
    const std::string nBase = (dir_ / "native" / "clients.dbt").string();
    std::filesystem::copy_file(kDict, nDict);
    std::filesystem::copy_file(kBase, nBase);
    const std::string dict = Fingerprint(nDict), base = Fingerprint(nBase);
    TResult r = Run("--dict '" + nDict + "' --base '" + nBase + "' --table T --sql /dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, kLookAlikes("T") + "Disk full: /dev/full (No space left on device)\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Fingerprint(nDict), dict);
    EXPECT_EQ(Fingerprint(nBase), base);

    // The same files in the vendor's format, read where nothing beside them is written: a
    // script past the file size limit fails its write rather than ending the program.
    const std::string src = QUORVATH_SOURCE_DIR "/tests/fuzz/";
    const std::string vDict = (dir_ / "demo.def").string(), vBase = (dir_ / "clients.dbt").string();
    std::filesystem::copy_file(src + "dictionary/seed_demo", vDict);
    std::filesystem::copy_file(src + "real_file/seed_demo_clients", vBase);
    const std::string vd = Fingerprint(vDict), vb = Fingerprint(vBase);
    const std::string args = "--dict '" + vDict + "' --base '" + vBase + "' --table T --commit 1 ";
    r = Run(args + "--sql '" + sql_ + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_GT(std::filesystem::file_size(sql_), 2048u);
    const std::string limited = (dir_ / "limited.sql").string();
    const std::string cmd = "ulimit -f 2; '" + kProgram + "' " + args + "--sql '" + limited +
                            "' >'" + (dir_ / "o").string() + "' 2>'" + (dir_ / "e").string() + "'";
    const int raw = std::system(("bash -c \"" + cmd + "\"").c_str());
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 1) << raw;
    EXPECT_EQ(ReadAll((dir_ / "e").string()),
              kLookAlikes("T") + "Disk full: " + limited + " (File too large)\n");
    EXPECT_EQ(ReadAll((dir_ / "o").string()), "");
    EXPECT_FALSE(std::filesystem::exists(limited));
    for (const auto& e : std::filesystem::directory_iterator(dir_))  // nor its temporary
        EXPECT_NE(e.path().filename().string().rfind(".limited.sql.", 0), 0u) << e.path();
    EXPECT_EQ(Fingerprint(vDict), vd);
    EXPECT_EQ(Fingerprint(vBase), vb);
}

TEST_F(Program, RefusedFileNamesTheReasonAfterTheBtrieveMessage) {
    const std::string bogus = (dir_ / "bogus.def").string();
    std::ofstream(bogus) << "not a data file";
    const TResult r = Run("--dict '" + bogus + "' --base '" + kBase + "' --sql '" + sql_ + "'");
    EXPECT_EQ(r.status, 1);
    const std::string tail = "(30)\" \xD0\xBF\xD1\x80\xD0\xB8";  // the status, then " при"
    EXPECT_NE(r.err.find(tail), std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(r.err.find('\n') + 1),
              "Not a Btrieve file: the file is too short\nBtrieve status 30: not a Btrieve file: " +
                  bogus + "\n");
    EXPECT_FALSE(std::filesystem::exists(sql_));
}

// A script on standard output whose reader has gone: the write's error names standard output
// and the system's reason, and the run fails.
TEST_F(Program, ClosedPipeNamesStandardOutput) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);  // no reader from the start
    const std::string err = (dir_ / "stderr").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        if (!std::freopen(err.c_str(), "w", stderr)) ::_exit(126);
        ::execl(kProgram.c_str(), kProgram.c_str(), "--dict", kDict.c_str(), "--base",
                kBase.c_str(), "--sql", "-", "--target", "postgresql", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 1);
    // After the warnings of the records' NULLs, the one line of the write.
    const std::string said = ReadAll(err), fault = "Write fault: standard output (Broken pipe)\n";
    ASSERT_GE(said.size(), fault.size()) << said;
    EXPECT_EQ(said.substr(said.size() - fault.size()), fault);
    EXPECT_EQ(said.find("Extract completed"), std::string::npos) << said;
}

}  // namespace
