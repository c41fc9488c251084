// Faults while the script is written: a full disk (a small tmpfs when this machine lets the
// test mount one), the folder removed or made read-only mid-run, a closed pipe. Each ends
// with the runtime's message, the file closed and nothing reported as complete.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/database_export.h"
#include "app/export_run.h"
#include "memory_dataset.h"
#include "platform/exception.h"
#include "test_host.h"

namespace {

namespace fs = std::filesystem;

// Descriptors of this process that lead to a path under folder (deleted ones included).
int OpenUnder(const std::string& folder) {
    int count = 0;
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const std::string target = fs::read_symlink(e.path(), ec).string();
        if (!ec && target.rfind(folder, 0) == 0) ++count;
    }
    return count;
}

class WriteFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quorvath_faults_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "out");
        info.DictionaryFileName = "demo.def";
        info.BaseFileName = "demo.dbt";
        info.SQLFileName = (dir_ / "out" / "script.sql").string();
        info.ImpTableName = "T";
        info.CreateDDL = false;
        // Long lines, so that the script passes any small disk quickly.
        ds.AddColumn("N", ftInteger);
        ds.AddColumn("S", ftString, 200);
        for (int i = 1; i <= 3000; ++i)
            ds.AddRow({Native<int32_t>(i), Text(std::string(200, 'x'), 200)});
    }
    void TearDown() override {
        if (mounted_) ::umount2((dir_ / "out").c_str(), MNT_DETACH);
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    // Runs the export and expects it to fail with message, reporting nothing complete and
    // leaving no descriptor open under the script's folder.
    void ExpectFailure(const std::string& message) {
        EXPECT_FALSE(run.ExecuteReportingErrors(info));
        EXPECT_EQ(host.Errors, std::vector<std::string>{message});
        EXPECT_TRUE(host.Messages.empty());
        EXPECT_EQ(OpenUnder((dir_ / "out").string()), 0);
    }

    fs::path dir_;
    bool mounted_ = false;
    TMemoryDataSet ds;
    TTestHost host;
    TExportRun run{ds, host};
    TImpInfo info;
};

TEST_F(WriteFaults, SmallDiskFillsMidRun) {
    if (::mount("tmpfs", (dir_ / "out").c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a tmpfs cannot be mounted here (" << std::strerror(errno)
                     << "); /dev/full covers the full disk";
    mounted_ = true;
    ExpectFailure("Disk full: " + info.SQLFileName + " (No space left on device)");
    // Neither the script nor its temporary stays.
    EXPECT_TRUE(fs::is_empty(dir_ / "out"));
}

TEST_F(WriteFaults, DevFullFailsAtTheFirstBlock) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    info.SQLFileName = "/dev/full";
    ExpectFailure("Disk full: /dev/full (No space left on device)");
}

TEST_F(WriteFaults, FolderRemovedMidRunIsNotReportedComplete) {
    ds.OnFetch = [this](int row) {
        if (row == 1500) fs::remove_all(dir_ / "out");
    };
    ExpectFailure("File not found: " + info.SQLFileName + " (No such file or directory)");
    EXPECT_FALSE(fs::exists(info.SQLFileName));
}

TEST_F(WriteFaults, NameTakenByAnotherFileMidRunGetsTheWholeScript) {
    ds.OnFetch = [this](int row) {
        if (row == 1500) std::ofstream(info.SQLFileName) << "other";
    };
    EXPECT_TRUE(run.ExecuteReportingErrors(info));
    std::ifstream in(info.SQLFileName, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    EXPECT_NE(ss.str().find("VALUES (3000, '"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "out"), fs::directory_iterator()), 1);
}

TEST_F(WriteFaults, FolderMadeReadOnlyMidRunFinishesTheOpenScript) {
    // The script was opened before the change; its writes go on. Putting it in place needs
    // the folder: only a user the system lets write anyway gets it whole.
    ds.OnFetch = [this](int row) {
        if (row == 1500)
            fs::permissions(dir_ / "out", fs::perms::owner_read | fs::perms::owner_exec);
    };
    if (::geteuid() != 0) {
        ExpectFailure("File access denied: " + info.SQLFileName + " (Permission denied)");
        return;
    }
    EXPECT_TRUE(run.ExecuteReportingErrors(info));
    EXPECT_TRUE(host.Errors.empty());
    std::ifstream in(info.SQLFileName, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string script = ss.str();
    EXPECT_NE(script.find("VALUES (3000, '"), std::string::npos);
    EXPECT_EQ(script.substr(script.size() - 14), "COMMIT WORK;\r\n");
}

TEST_F(WriteFaults, ClosedPipeIsAWriteError) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    auto previous = std::signal(SIGPIPE, SIG_IGN);
    info.SQLFileName = "/proc/self/fd/" + std::to_string(fds[1]);
    ds.OnFetch = [&](int row) {
        if (row == 10) ::close(fds[0]);
    };
    ExpectFailure("Write fault: " + info.SQLFileName + " (Broken pipe)");
    ::close(fds[1]);
    std::signal(SIGPIPE, previous);
}

// A script per table is put in place while the next table is read. One that cannot be put
// in place (its name taken by a folder once it was written) fails its table, after the next
// table ran, with the runtime's message; the others are exported as ever.
TEST_F(WriteFaults, TableWhoseScriptCannotBePutInPlaceFails) {
    const fs::path out = dir_ / "out";
    std::vector<TDatabaseTable> tables;
    for (const char* name : {"a", "b", "c"}) tables.push_back({name, "t.dbt", "t.dbt", 2, "", ""});
    int fetches = 0;
    ds.OnFetch = [&](int row) {
        if (row == 10 && ++fetches == 2) fs::create_directory(out / "b.sql");
    };
    TDatabaseExport database(ds, host);
    info.SQLFileName = out.string() + "/";
    const std::vector<TTableResult> results = database.Execute(info, tables);
    ASSERT_EQ(results.size(), 3u);
    const std::string statuses =
        results[0].Status + "|" + results[1].Status + "|" + results[2].Status;
    EXPECT_EQ(statuses, "exported|failed|exported");
    EXPECT_EQ(results[1].Records, -1);
    EXPECT_FALSE(results[1].Ended);
    EXPECT_TRUE(results[1].Failed);
    EXPECT_EQ(results[1].Totals.Records, 3000);  // read, and not written
    for (const TTableResult& r : results) EXPECT_EQ(r.Commit, 0u) << r.Table.Name;
    EXPECT_EQ(host.Errors, std::vector<std::string>{"b: File access denied: " + out.string() +
                                                    "/b.sql (Is a directory)"});
    // The others whole; no temporary left, the folder in b's place as it was.
    for (const char* name : {"a.sql", "c.sql"}) {
        std::ifstream in(out / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        EXPECT_NE(ss.str().find("VALUES (3000, '"), std::string::npos) << name;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 3);
    EXPECT_TRUE(fs::is_empty(out / "b.sql"));
    EXPECT_EQ(OpenUnder(out.string()), 0);
}

}  // namespace
