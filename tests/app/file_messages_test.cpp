// What the command line says of a file it cannot use: the system's message as it stands, then
// an English line naming the file and the operating system's reason, whatever standard error
// is; a dictionary that does not fit its data file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/command_line.h"
#include "command_line_fixture.h"
#include "dict/session.h"
#include "tests/dataset/btr_files.h"

namespace {

class FileMessages : public TCommandLineTest {
  protected:
    void SetUp() override {
        TCommandLineTest::SetUp();
        env_.EnglishStatusLines = true;
        std::filesystem::create_directories(dir_.Path("db/folder.dbt"));
        MakeDictionary(dict_, {{"clients.dbt", {{"ID", 3, 4}, {"NAME", 8, 8}}, {{"ID"}}},
                               {"short.dbt", {{"ID", 3, 4}}, {{"ID"}}},
                               {"folder.dbt", {{"ID", 3, 4}}, {{"ID"}}},
                               {"locked.dbt", {{"ID", 3, 4}}, {{"ID"}}}});
        TRecordBytes record(12);
        record.Value<int32_t>(0, 1).Text(4, "Ann");
        MakeBtrieveFile(dir_.Path("db/clients.dbt"), 12, {{Segment(1, 4, 1, false, false)}},
                        {record.Bytes()});
        // Described as 4 bytes, holding 12.
        std::filesystem::copy_file(dir_.Path("db/clients.dbt"), dir_.Path("db/short.dbt"));
        std::filesystem::copy_file(dir_.Path("db/clients.dbt"), dir_.Path("db/locked.dbt"));
        ::chmod(dir_.Path("db/locked.dbt").c_str(), 0);
    }

    TDefaultSession session_;
    TTempDir dir_;
    const std::string dict_ = dir_.Path("db/shop.def");
};

TEST_F(FileMessages, EveryFileErrorNamesTheFileAndTheReason) {
    const std::string sql = dir_.Path("out.sql");
    const struct {
        std::vector<std::string> args;
        std::string file;     // the file the error is about
        std::string english;  // the last line of standard error
        bool asRoot = true;   // false: root reads any file, the case cannot be made
    } cases[] = {
        // A data file the dictionary does not describe because it is not there.
        {{"--dict", dict_, "--base", dir_.Path("db/gone.dbt"), "--sql", sql},
         dir_.Path("db/gone.dbt"),
         "Btrieve status 12: file not found: " + dir_.Path("db/gone.dbt") +
             " (No such file or directory)"},
        {{"--base", dir_.Path("db/gone.dbt"), "--sql", sql},
         dir_.Path("db/gone.dbt"),
         "Btrieve status 12: file not found: " + dir_.Path("db/gone.dbt") +
             " (No such file or directory)"},
        {{"--dict", dict_, "--base", dir_.Path("db/folder.dbt"), "--sql", sql},
         dir_.Path("db/folder.dbt"),
         "Btrieve status 11: invalid file name: " + dir_.Path("db/folder.dbt") +
             " (Is a directory)"},
        {{"--base", dir_.Path("db/locked.dbt"), "--sql", sql},
         dir_.Path("db/locked.dbt"),
         "Btrieve status 46: access to the file denied: " + dir_.Path("db/locked.dbt") +
             " (Permission denied)",
         false},
        {{"--dict", dir_.Path("db/none.def"), "--base", dir_.Path("db/clients.dbt"), "--sql", sql},
         dir_.Path("db/none.def"),
         "Btrieve status 12: file not found: " + dir_.Path("db/none.def") +
             " (No such file or directory)"},
        {{"--dict", dict_, "--base", dir_.Path("db/short.dbt"), "--sql", sql},
         "",
         "The data file does not match the dictionary: its record length or its keys differ "
         "from what the dictionary describes"},
        {{"--dict", dict_, "--base", dir_.Path("db/clients.dbt"), "--sql",
          dir_.Path("no/such/out.sql")},
         dir_.Path("no/such/out.sql"),
         "File not found: " + dir_.Path("no/such/out.sql") + " (No such file or directory)"},
        {{"--dict", dict_, "--base", dir_.Path("db/clients.dbt"), "--sql", dir_.Path("db")},
         dir_.Path("db"),
         "File access denied: " + dir_.Path("db") + " (Is a directory)"},
    };
    for (const auto& c : cases) {
        if (!c.asRoot && ::geteuid() == 0) continue;
        EXPECT_EQ(Run(c.args), kExitError) << c.english;
        const std::string err = err_.str();
        const size_t last = err.rfind('\n', err.size() - 2);
        EXPECT_EQ(err.substr(last == std::string::npos ? 0 : last + 1), c.english + "\n") << err;
        if (!c.file.empty()) {
            EXPECT_NE(err.find(c.file), std::string::npos) << err;
        }
        EXPECT_EQ(out_.str(), "");
        EXPECT_FALSE(std::filesystem::exists(sql)) << c.english;
    }
    // A Russian locale reads the Russian message alone.
    env_.EnglishStatusLines = false;
    EXPECT_EQ(Run(cases[0].args), kExitError);
    EXPECT_EQ(err_.str().find("Btrieve status"), std::string::npos) << err_.str();
}

}  // namespace
